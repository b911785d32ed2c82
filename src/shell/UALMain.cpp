#include "shell/UALMain.h"

#include "shell/UXActionList.h"
#include "shell/UXMenuItem.h"

#include <QStringList>

namespace {

constexpr TXMainMenuRow kRows[] = {
    {"LGRUPOLISTA", "Grupo Lista", "TFGrupoListaSel", "Genotipagem/Lista", {}},
    {"LLISTA", "Lista", "TFListaSel", "Genotipagem/Lista", {}},
    {"LITEMLISTA", "Valor", "TFItemSel", "Genotipagem/Lista", {}},
    {"LGENE", "Gene a Analisar", "TFGeneSel", "Genotipagem", {}},
    {"LMODGABARITO", "Modelo de Gabarito", "TFModGabaritoSel", "Genotipagem", {}},
    {"LGENOTIPAGEM", "Genotipagem / Proj.", "TFGenotipagemSel", "Genotipagem/Genotipagem", {}},
    {"LFINALIDADE", "Finalidade", "TFFinalidadeSel", "Genotipagem/Genotipagem", {}},
    {"LTIPO_TESTE", "Tipo de Teste", "TFTipo_TesteSel", "Genotipagem/Genotipagem", {}},
    {"LTIPO_AMOSTRA", "Amostra", "TFTipo_AmostraSel", "Genotipagem/Genotipagem", {}},
    {"LGENOTIPAGEMLOCATE", "Localizar Genotipag.", "TFGenotipagemLocate", "Genotipagem/Genotipagem", {}},
    {"LCONTROLE", "Amostra - Controle", "TFControleSel", "Genotipagem/Genotipagem", {}},
    {"LLOCALPLANTIO", "Local de Plantio", "TFLocalPlantioSel", "Genotipagem/Local de Plantio", {}},
    {"LMUNICIPIO", "Município", "TFMunicipioSel", "Genotipagem/Local de Plantio", {}},
    {"LPAIS", "País", "TFPaisSel", "Genotipagem/Local de Plantio", {}},
    {"LUF", "UF", "TFUFSel", "Genotipagem/Local de Plantio", {}},
    {"LDEFAULTSELECT", "Cultura / Safra", "TFDefaultsSelect", "Cadastros", {}},
    {"LCULTURA", "Cultura", "TFCulturaSel", "Cadastros", {}},
    {"LSAFRA", "Safra", "TFSafraSel", "Cadastros", {}},
    {"LCONVENIO", "Convênio", "TFConvenioSel", "Cadastros", {}},
    {"LPESSOA", "Pessoas", "TFPessoaSel", "Cadastros", "Pessoa/Usuário"},
    {"LDIREITO", "Direito", "TFDireitoSel", "Segurança", {}},
    {"LGRUSUARIO", "Grupo de Usuários", "TFGrUsuarioSel", "Segurança", "Grupo de Usuário"},
    {{}, "Troca de Senha", {}, "Segurança", {}},
    {"LLOTELAB", "Lote Laboratorio", {}, "Segurança", {}},
    {"LAPI_SERVERS", "Servidores API", "TFAPI_ServersSel", "Segurança", {}},
    {"LAPILOG", "Log API - Comm", "TFAPILogSel", "Segurança", {}},
    {"LLOGOUT", "Logout", {}, "Outros", {}},
    {"LAPPUPDATE", "Atualização", {}, "Outros", {}},
    {{}, "-- Maquina C --", {}, "Outros", {}},
    {"LTAVRIN_MAQC", "JSON - Tavrin - Maq C", "TFTAVRIN_MAQC", "Outros", {}},
};

QString Text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace

const TXMainMenuRow* MainMenuRows(int& count) {
    count = static_cast<int>(std::size(kRows));
    return kRows;
}

void BuildALMain(TXActionList& actions, TXMenuItem& root) {
    for (const TXMainMenuRow& row : kRows) {
        TXMenuItem* menu = &root;
        for (const QString& level : Text(row.Menu).split(QLatin1Char('/'))) {
            TXMenuItem* sub = menu->Child(level);
            menu = sub ? sub : &menu->Add(level);
        }
        TXAction* action = nullptr;
        if (!row.Action.empty())
            action = &actions.Add(std::string(row.Action), Text(row.Caption), std::string(row.ClassName));
        TXMenuItem& item =
            menu->Add(row.MenuCaption.empty() ? Text(row.Caption) : Text(row.MenuCaption), action);
        item.Break = row.Caption == kMachineCBreak;
    }
}
