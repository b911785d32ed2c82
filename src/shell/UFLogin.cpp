#include "shell/UFLogin.h"

#include "dataserver/UXSQLSessionGUI.h"
#include "foundation/UCp1252.h"
#include "foundation/UXCipher.h"
#include "foundation/UXDialogs.h"
#include "foundation/UXQtText.h"
#include "foundation/UXText.h"
#include "shell/UAppUser.h"
#include "shell/UFDBUpdate.h"
#include "shell/UFMain.h"
#include "shell/UFXMain.h"
#include "shell/UXAppUser.h"
#include "shell/UXShellHooks.h"
#include "shell/UXUserRights.h"
#include "sql/UXDBDataBaseStructure.h"
#include "sql/UXSQL.h"

#include "dataserver/UXDataClient.h"
#include "foundation/UXMainExec.h"

#include <QLineEdit>

#include <exception>

namespace {

int32_t IntOr(const TXVariant& v, int32_t def) {
    return v.IsEmptyOrNull() ? def : v.AsInt();
}

} // namespace

TXLoginLinks TXLoginLinks::Of(TFXMain& main) {
    TXLoginLinks l;
    l.DataClient = &main.DC();
    l.Transport = &main.DSClient();
    l.AppUser = dynamic_cast<TXAppUser*>(main.User());
    l.Application = main.Configuration().Application;
    l.Structure = AppDatabaseStructure();
    l.IsFatal = [&main] { return main.Ending(); };
    l.SetFatal = [&main] { main.SetEnding(true); };
    l.OnClosed = [&main](TFXLogin& login) { main.LoginClosed(&login); };
    return l;
}

TFLogin::TFLogin(const TXLoginLinks& links, QWidget* parent) : TFXLogin(links, parent) {}

TFLogin::~TFLogin() = default;

bool TFLogin::AllOpenStep() {
    if (!ProgramStructure())
        return false;
    RegisterStructure(kVersionCFG, ProgramStructure());
    DataClient().RequestVersion(kVersionCFG);
    SetPanelState(lpsOpen);
    return true;
}

std::unique_ptr<TXDBUpgrade> TFLogin::CreateUpgradeLogic() {
    return std::make_unique<TFDBUpdate>();
}

void TFLogin::ApplicationLogin() {
    TXSQLSessionGUI& s = *LoginSession();
    s.SQL().SQLText = "SELECT COUNT(*) RC\r\nFROM USUARIO";
    s.Select("count");
}

void TFLogin::LoginSelect(const std::string& id, TXSQL& sql) {
    TXSQLSessionGUI& s = *LoginSession();
    if (SameText(id, "count")) {
        sql.First();
        const int64_t rc = sql.Eof() ? 0 : sql.FieldValue("RC").AsInt64();
        s.FreeSQL(id);
        if (rc == 0) {
            ShowWarning(Utf8ToCp1252("Login permitido devido à falta de usuários cadastrados"));
            // Whoever starts a fresh database must be able to register the first users.
            UserRights().ClearRights();
            UserRights().GrantAll();
            AcceptLogin();
            return;
        }
        TXSQL& q = s.SQL();
        q.AddSelect("usuario.*, pessoa.nome");
        q.AddSelect("cultura.nome nome_cultura");
        q.AddSelect("safra.codigo codigo_safra");
        q.AddSelect("convenio.nome nome_convenio");
        q.AddFrom("pessoa");
        q.AddFrom(
            "((usuario left join cultura on cultura.id=usuario.usercultura)            left join safra on "
            "safra.id=usuario.usersafra)             left join convenio on "
            "convenio.id=usuario.userconvenio ");
        q.AddWhere("usuario.codigo=:codigo");
        q.AddWhere("pessoa.id=usuario.id");
        q.AddWhere("pessoa.usuario='S'");
        q.ParamString("CODIGO", AppUser().LoginCode());
        s.Select("login");
        return;
    }
    if (SameText(id, "login")) {
        sql.First();
        bool accepted = false;
        if (!sql.Eof()) {
            try {
                accepted =
                    DecryptText(sql.FieldValue("SENHA").AsString(), kUserPasswordKey) == AppUser().Password();
            } catch (const std::exception&) {
                accepted = false; // a damaged stored password never matches
            }
        }
        if (!accepted) {
            s.FreeSQL(id);
            RejectLogin("Login rejeitado");
            return;
        }
        FillUser(sql);
        s.FreeSQL(id);
        TXSQL& q = s.SQL();
        q.AddSelect("grusuariodireito.opcao,grusuariodireito.direitos");
        q.AddFrom("usuariogrusuario,grusuariodireito");
        q.AddWhere("usuariogrusuario.id_usuario=:id_usuario");
        q.AddWhere("grusuariodireito.id_grusuario=usuariogrusuario.id_grusuario");
        q.ParamInteger("id_usuario", int64_t(AppUser().Id()));
        s.Select("direitos");
        return;
    }
    if (SameText(id, "direitos")) {
        TXUserRights& rights = UserRights();
        rights.ClearRights();
        for (sql.First(); !sql.Eof(); sql.Next())
            rights.AddGroupRow(sql.FieldValue("OPCAO").AsString(), sql.FieldValue("DIREITOS").AsString());
        s.FreeSQL(id);
        AcceptLogin();
        return;
    }
    TFXLogin::LoginSelect(id, sql);
}

void TFLogin::FillUser(TXSQL& row) {
    TXAppUser& user = AppUser();
    user.SetId(IntOr(row.FieldValue("ID"), 0));
    user.SetName(row.FieldValue("NOME").AsString());
    if (auto* app = dynamic_cast<TAppUser*>(&user)) {
        app->SetFavorites(row.FieldValue("FAVORITOS").AsString());
        app->SetCultureId(IntOr(row.FieldValue("USERCULTURA"), -1));
        app->SetCultureName(row.FieldValue("NOME_CULTURA").AsString());
        app->SetSeasonId(IntOr(row.FieldValue("USERSAFRA"), -1));
        app->SetSeasonCode(row.FieldValue("CODIGO_SAFRA").AsString());
        app->SetAgreementId(IntOr(row.FieldValue("USERCONVENIO"), -1));
        app->SetAgreementName(row.FieldValue("NOME_CONVENIO").AsString());
    }
}

void InstallLogin() {
    ShellHooks().CreateUser = [] { return std::unique_ptr<TXShellUser>(std::make_unique<TAppUser>()); };
    ShellHooks().CreateLogin = [](TFXMain& main) -> TXMainLogin* {
        TXLoginLinks links = TXLoginLinks::Of(main);
        auto onClosed = links.OnClosed;
        links.OnClosed = [onClosed](TFXLogin& login) {
            if (onClosed)
                onClosed(login);
            // The main window never deletes the login.
            TXMainExec::Instance().FreeLater(&login);
        };
        return new TFLogin(links, &main);
    };
}
