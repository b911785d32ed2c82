#include "shell/UFDBUpdate.h"

#include "dataserver/UXSQLSessionGUI.h"
#include "foundation/UCp1252.h"
#include "foundation/UXText.h"
#include "sql/UXSQL.h"

#include <array>

namespace {

struct TSystemRight {
    const char* codigo;
    const char* nome;
    const char* obs;
};

// The rights the program itself checks; created with tipo "L" and direitosistema "S".
const std::array<TSystemRight, 6> kSystemRights{{
    {"ADM", "Administrador", "- acesso irrestrito. "},
    {"GCU", "GENOT. CAD. USUARIO",
     "- acesso ao cadastro de usuário para a genotipagem. \r\n  - deve ser utilizado em conjunto com os "
     "direitos \r\n     de cadastramento dos usuarios."},
    {"GLB", "GENOT. LABORATORIO",
     "- acesso a geração dos dados de e para o laboratorio \r\n  - preparo dos lotes de envio; \r\n  - "
     "recebimento dos resultados;"},
    {"GPP", "GENOT. PLACA/POCO", "- acesso a opção de CONTROLE de placa/poço. "},
    {"GPC", "GENOT. PLANTIO/COLET", "-acesso a opção de plantio/coleta "},
    {"GTL", "GENOT. TRAT/LOTE", "- acesso a opçao de controle de tratamento/lote \r\n    do projeto "},
}};

} // namespace

TFDBUpdate::TFDBUpdate(QObject* parent) : TXDBUpgrade(parent) {}

TFDBUpdate::~TFDBUpdate() = default;

int64_t TFDBUpdate::VersionNumber(const TXVersion& v) {
    return int64_t(v.Major) * 10000 + int64_t(v.Minor) * 100 + v.Build;
}

TFDBUpdate::TLink TFDBUpdate::FirstLink(int64_t n) {
    if (n <= 10001)
        return lkRights;
    if (n == 10002)
        return lkUsers;
    if (n <= 10007)
        return lkPlateDigit;
    if (n <= 10009)
        return lkSampleType;
    if (n == 10010)
        return lkStatus;
    return lkDone;
}

void TFDBUpdate::UpgradeFlags(const TUpdateData& row, bool& first, bool& second) {
    // A database that already carries a real version.
    first = second = VersionNumber(row.OldVersion) > 9999;
}

void TFDBUpdate::PopulationA(TUpdateData& row) {
    Run(FirstLink(VersionNumber(row.OldVersion)));
}

void TFDBUpdate::StatementCompleted(const std::string& id) {
    static const std::array<std::pair<const char*, TLink>, 7> next{{
        {"1.0.2.fim", lkUsers},
        {"1.0.3.fim", lkPlateDigit},
        {"1.0.8.fim", lkSampleType},
        {"1.0.10.n1", lkApiModel1},
        {"1.0.10.n2", lkApiModel2},
        {"1.0.10.fim", lkStatus},
        {"1.0.11.fim", lkDone},
    }};
    for (const auto& [done, link] : next)
        if (SameText(id, done)) {
            Run(link);
            return;
        }
}

void TFDBUpdate::Run(TLink link) {
    TXSQLSessionGUI& s = Session();
    TXSQL& q = s.SQL();
    switch (link) {
    case lkRights: {
        s.IdPrefix = "v102";
        for (size_t i = 0; i < kSystemRights.size(); ++i) {
            const TSystemRight& r = kSystemRights[i];
            TXSQL& q = s.SQL(); // a fresh statement after every Command
            q.SQLText = "INSERT INTO direito (codigo,nome,tipo,direitosistema, obs) values "
                        "(:codigo,:nome,:tipo,:direitosistema,:obs)";
            q.ParamString("codigo", r.codigo);
            q.ParamString("nome", Utf8ToCp1252(r.nome));
            q.ParamString("tipo", "L");
            q.ParamString("direitosistema", "S");
            q.ParamBlob("obs", TXVariant::FromString(Utf8ToCp1252(r.obs)));
            s.Command(i + 1 < kSystemRights.size() ? std::string() : std::string("1.0.2.fim"));
        }
        return;
    }
    case lkUsers:
        q.SQLText = "UPDATE pessoa SET usuario_genot=:usuario_genot  WHERE usuario_genot is null";
        q.ParamString("usuario_genot", "N");
        s.Command("1.0.3.fim");
        return;
    case lkPlateDigit:
        q.SQLText = "UPDATE genotipagem SET digito_placa=:digito_placa  WHERE digito_placa is null";
        q.ParamInteger("digito_placa", int64_t(0));
        s.Command("1.0.8.fim");
        return;
    case lkSampleType:
        q.SQLText = "UPDATE genotipagem SET tipo_amostra=:tipo_amostra  WHERE tipo_amostra is null";
        q.ParamInteger("tipo_amostra", int64_t(0));
        s.Command("1.0.10.n1");
        return;
    case lkApiModel1:
        q.SQLText = "DELETE FROM API_MODELO  WHERE (ID = :ID) ";
        q.ParamInteger("ID", int64_t(1));
        s.Command("1.0.10.n2");
        return;
    case lkApiModel2:
        q.SQLText = "INSERT INTO API_MODELO  ( id, nome )  VALUES  (:id,:nome ) ";
        q.ParamInteger("id", int64_t(1));
        q.ParamString("nome", "TAVRIN");
        s.Command("1.0.10.fim");
        return;
    case lkStatus:
        q.SQLText = "UPDATE genotipagem SET status_prod=0, status_merge=0  WHERE status_prod is null";
        s.Command("1.0.11.fim");
        return;
    case lkDone:
        StepDone();
        return;
    }
}
