#include "foundation/UXDialogs.h"
#include "foundation/UXQtText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs handle on the modal dialog until it reports done; after about 5 s the dialog is closed so a
// failing test never hangs.
void WhenModal(std::function<bool(QWidget*)> handle, int triesLeft = 500) {
    QTimer::singleShot(10, [handle, triesLeft] {
        QWidget* w = QApplication::activeModalWidget();
        if (w && handle(w))
            return;
        if (triesLeft > 0) {
            WhenModal(handle, triesLeft - 1);
        } else if (w) {
            ADD_FAILURE() << "dialog not handled";
            w->close();
        }
    });
}

} // namespace

TEST(Dialogs, TitlesAndCaptions) {
    EXPECT_EQ(DialogTitle(mtWarning), "Aviso");
    EXPECT_EQ(DialogTitle(mtError), "Erro");
    EXPECT_EQ(ToQString(DialogTitle(mtInformation)), QString::fromUtf8("Informação"));
    EXPECT_EQ(ToQString(DialogTitle(mtConfirmation)), QString::fromUtf8("Confirmação"));
    const std::pair<TXMsgDlgBtn, const char*> captions[] = {
        {mbYes, "&Sim"},       {mbNo, "&Não"},         {mbCancel, "&Cancelar"}, {mbAbort, "&Abortar"},
        {mbRetry, "&Repetir"}, {mbIgnore, "&Ignorar"}, {mbAll, "&Todos"},       {mbHelp, "A&juda"},
    };
    for (const auto& [b, text] : captions)
        EXPECT_EQ(ToQString(ButtonCaption(b)), QString::fromUtf8(text)) << text;
}

TEST(Dialogs, ScriptedServiceRecordsMessagesAndAnswersQuestions) {
    TXScriptedDialogs dialogs;
    TXDialogServiceScope use(dialogs);
    ShowError("falhou");
    ShowWarning("cuidado");
    ShowInfo("pronto");
    dialogs.PushAnswer(mbNo);
    dialogs.PushAnswer(mbRetry);
    EXPECT_FALSE(Confirm("Continua?"));
    EXPECT_EQ(AskPT("De novo?", mtWarning, Btn(mbAbort) | Btn(mbRetry) | Btn(mbIgnore), mbAbort), mbRetry);

    ASSERT_EQ(dialogs.Calls.size(), 5u);
    EXPECT_EQ(dialogs.Calls[0].Kind, TXScriptedDialogs::dkMessage);
    EXPECT_EQ(dialogs.Calls[0].Title, "Erro");
    EXPECT_EQ(dialogs.Calls[0].Text, "falhou");
    EXPECT_EQ(dialogs.Calls[1].Title, "Aviso");
    EXPECT_EQ(dialogs.Calls[2].Title, DialogTitle(mtInformation));
    EXPECT_EQ(dialogs.Calls[3].Kind, TXScriptedDialogs::dkAsk);
    EXPECT_EQ(dialogs.Calls[3].Title, DialogTitle(mtConfirmation));
    EXPECT_EQ(dialogs.Calls[3].Buttons, mbYesNo);
    EXPECT_EQ(dialogs.Calls[3].Default, mbYes);
    EXPECT_EQ(dialogs.Calls[4].Type, mtWarning);
    EXPECT_EQ(dialogs.Texts(mtError), (std::vector<std::string>{"falhou"}));
    EXPECT_EQ(dialogs.Unanswered, 0);
}

TEST(Dialogs, ConfirmDefaultsAndUnansweredQuestions) {
    TXScriptedDialogs dialogs;
    TXDialogServiceScope use(dialogs);
    EXPECT_TRUE(Confirm("Sim por padrão?"));        // unanswered: the default, Yes
    EXPECT_FALSE(Confirm("Não por padrão?", true)); // default and focus on No
    EXPECT_EQ(dialogs.Calls[1].Default, mbNo);
    EXPECT_EQ(dialogs.Unanswered, 2);
    dialogs.PushAnswer(mbYes);
    EXPECT_TRUE(Confirm("x", true));
}

TEST(Dialogs, CheckOrErrorShowsOnlyOnFailure) {
    TXScriptedDialogs dialogs;
    TXDialogServiceScope use(dialogs);
    EXPECT_TRUE(CheckOrError(true, "nunca"));
    EXPECT_FALSE(CheckOrError(false, "Informe o valor"));
    EXPECT_EQ(dialogs.Texts(mtError), (std::vector<std::string>{"Informe o valor"}));
}

TEST(Dialogs, ScriptedFileChoicesAndProgramStart) {
    TXScriptedDialogs dialogs;
    TXDialogServiceScope use(dialogs);
    dialogs.PushPath("/tmp/a.mdb");
    dialogs.PushPath("");
    EXPECT_EQ(OpenFileDialog("Abrir", "Arquivo MS Access (*.mdb)|*.mdb", "/tmp"), "/tmp/a.mdb");
    EXPECT_EQ(SaveFileDialog("Salvar", "Arquivo CSV (*.csv)|*.csv"), ""); // cancelled
    EXPECT_EQ(ChooseFolderDialog("Pasta"), "");                           // nothing queued
    dialogs.StartResult = false;
    EXPECT_FALSE(StartProgram("/opt/setup", {"/S"}));
    ASSERT_EQ(dialogs.Calls.size(), 4u);
    EXPECT_EQ(dialogs.Calls[0].Kind, TXScriptedDialogs::dkOpen);
    EXPECT_EQ(dialogs.Calls[0].Text, "Arquivo MS Access (*.mdb)|*.mdb");
    EXPECT_EQ(dialogs.Calls[0].Initial, "/tmp");
    EXPECT_EQ(dialogs.Calls[1].Kind, TXScriptedDialogs::dkSave);
    EXPECT_EQ(dialogs.Calls[2].Kind, TXScriptedDialogs::dkFolder);
    EXPECT_EQ(dialogs.Calls[3].Kind, TXScriptedDialogs::dkStart);
    EXPECT_EQ(dialogs.Calls[3].Text, "/opt/setup");
    EXPECT_EQ(dialogs.Calls[3].Args, (std::vector<std::string>{"/S"}));
    EXPECT_EQ(dialogs.Unanswered, 1);
}

TEST(Dialogs, ScopesNestAndRestore) {
    TXScriptedDialogs outer, inner;
    {
        TXDialogServiceScope a(outer);
        {
            TXDialogServiceScope b(inner);
            ShowInfo("inner");
        }
        ShowInfo("outer");
    }
    EXPECT_EQ(inner.Texts(mtInformation), (std::vector<std::string>{"inner"}));
    EXPECT_EQ(outer.Texts(mtInformation), (std::vector<std::string>{"outer"}));
    EXPECT_NE(dynamic_cast<TXQtDialogs*>(&Dialogs()), nullptr);
}

TEST(Dialogs, QtMessageBoxShowsPortugueseCaptionsAndDefault) {
    QString title, text;
    QStringList buttons;
    QString defaultText;
    WhenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box == nullptr || !box->isVisible())
            return false;
        title = box->windowTitle();
        text = box->text();
        for (QAbstractButton* b : box->buttons())
            buttons << b->text();
        defaultText = box->defaultButton() ? box->defaultButton()->text() : QString();
        for (QAbstractButton* b : box->buttons())
            if (b->text() == QString::fromUtf8("&Não"))
                b->click();
        return true;
    });
    TXQtDialogs qt;
    const TXMsgDlgBtn answer =
        qt.Ask("Deseja fechar a aplica\xE7\xE3o?", mtConfirmation, mbYesNoCancel, mbNo);
    EXPECT_EQ(answer, mbNo);
    EXPECT_EQ(title, QString::fromUtf8("Confirmação"));
    EXPECT_EQ(text, QString::fromUtf8("Deseja fechar a aplicação?"));
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"&Cancelar", QString::fromUtf8("&Não"), "&Sim"}));
    EXPECT_EQ(defaultText, QString::fromUtf8("&Não"));
}

TEST(Dialogs, QtMessageBoxClosedAnswersCancelOrNo) {
    TXQtDialogs qt;
    auto close = [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr && w->close(); };
    WhenModal(close);
    EXPECT_EQ(qt.Ask("?", mtConfirmation, mbYesNoCancel, mbYes), mbCancel);
    WhenModal(close);
    EXPECT_EQ(qt.Ask("?", mtConfirmation, mbYesNo, mbYes), mbNo);
}

TEST(Dialogs, QtOpenDialogUsesTheFilterInBothCases) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("MODELO.MDB");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    QStringList filters;
    WhenModal([&](QWidget* w) {
        auto* dlg = qobject_cast<QFileDialog*>(w);
        if (dlg == nullptr || !dlg->isVisible())
            return false;
        filters = dlg->nameFilters();
        // selectFile leaves a focused name field alone, so type the name as a user would.
        auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
        if (name == nullptr)
            return false;
        name->setText(file);
        static_cast<QDialog*>(dlg)->accept();
        return !dlg->isVisible();
    });
    TXQtDialogs qt;
    const std::string chosen = qt.OpenFileName("Abrir", "Arquivo MS Access (*.mdb)|*.mdb|Todos|*.*",
                                               QFile::encodeName(dir.path()).toStdString());
    EXPECT_EQ(chosen, QFile::encodeName(file).toStdString());
    EXPECT_EQ(filters, (QStringList{"Arquivo MS Access (*.mdb *.MDB)", "Todos (*.*)"}));
}
