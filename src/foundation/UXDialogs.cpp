#include "foundation/UXDialogs.h"

#include "foundation/UXQtText.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

#include <cstdio>

namespace {

TXDialogService* gService = nullptr;

bool HaveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

QWidget* DialogParent() {
    return QApplication::activeWindow();
}

QString NativeToQString(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string QStringToNative(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// "Desc (*.mdb)|*.mdb|Todos|*.*" -> "Desc (*.mdb *.MDB);;Todos (*.*)". Both cases of each pattern,
// since names chosen here are upper-cased and the file system is case-sensitive.
QString QtFilter(const std::string& filter) {
    const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i].trimmed();
        if (label.endsWith(QLatin1Char(')'))) {
            const qsizetype open = label.lastIndexOf(QLatin1Char('('));
            if (open >= 0)
                label = label.left(open).trimmed();
        }
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            for (const QString& v : {t, t.toLower(), t.toUpper()})
                if (!patterns.contains(v))
                    patterns << v;
        }
        out << label + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

QMessageBox::ButtonRole RoleOf(TXMsgDlgBtn b) {
    switch (b) {
    case mbYes:
    case mbAll:
        return QMessageBox::YesRole;
    case mbNo:
        return QMessageBox::NoRole;
    case mbCancel:
    case mbAbort:
        return QMessageBox::RejectRole;
    case mbHelp:
        return QMessageBox::HelpRole;
    default:
        return QMessageBox::AcceptRole;
    }
}

QMessageBox::Icon IconOf(TXMsgDlgType kind) {
    switch (kind) {
    case mtWarning:
        return QMessageBox::Warning;
    case mtError:
        return QMessageBox::Critical;
    case mtInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::Question;
    }
}

TXMsgDlgBtn CloseAnswer(TXMsgDlgButtons buttons, TXMsgDlgBtn defaultButton) {
    if (buttons & Btn(mbCancel))
        return mbCancel;
    if (buttons & Btn(mbNo))
        return mbNo;
    return defaultButton;
}

} // namespace

std::string DialogTitle(TXMsgDlgType kind) {
    switch (kind) {
    case mtWarning:
        return "Aviso";
    case mtError:
        return "Erro";
    case mtInformation:
        return "Informa\xE7\xE3o";
    default:
        return "Confirma\xE7\xE3o";
    }
}

std::string ButtonCaption(TXMsgDlgBtn button) {
    switch (button) {
    case mbYes:
        return "&Sim";
    case mbNo:
        return "&N\xE3o";
    case mbOK:
        return "OK";
    case mbCancel:
        return "&Cancelar";
    case mbAbort:
        return "&Abortar";
    case mbRetry:
        return "&Repetir";
    case mbIgnore:
        return "&Ignorar";
    case mbAll:
        return "&Todos";
    default:
        return "A&juda";
    }
}

TXDialogService& Dialogs() {
    static TXQtDialogs qtDialogs;
    return gService ? *gService : qtDialogs;
}

TXDialogService* SetDialogService(TXDialogService* service) {
    TXDialogService* previous = gService;
    gService = service;
    return previous;
}

void ShowError(const std::string& text) {
    Dialogs().Message(mtError, text);
}

void ShowWarning(const std::string& text) {
    Dialogs().Message(mtWarning, text);
}

void ShowInfo(const std::string& text) {
    Dialogs().Message(mtInformation, text);
}

TXMsgDlgBtn AskPT(const std::string& text, TXMsgDlgType kind, TXMsgDlgButtons buttons,
                  TXMsgDlgBtn defaultButton) {
    return Dialogs().Ask(text, kind, buttons, defaultButton);
}

bool Confirm(const std::string& text, bool defaultNo) {
    return Dialogs().Ask(text, mtConfirmation, mbYesNo, defaultNo ? mbNo : mbYes) == mbYes;
}

bool CheckOrError(bool condition, const std::string& message) {
    if (!condition)
        ShowError(message);
    return condition;
}

std::string OpenFileDialog(const std::string& title, const std::string& filter,
                           const std::string& initialPath) {
    return Dialogs().OpenFileName(title, filter, initialPath);
}

std::string SaveFileDialog(const std::string& title, const std::string& filter,
                           const std::string& initialPath) {
    return Dialogs().SaveFileName(title, filter, initialPath);
}

std::string ChooseFolderDialog(const std::string& title, const std::string& initialPath) {
    return Dialogs().ChooseFolder(title, initialPath);
}

bool StartProgram(const std::string& program, const std::vector<std::string>& args) {
    return Dialogs().StartProgram(program, args);
}

// ---- Qt dialogs ---------------------------------------------------------------------------------

void TXQtDialogs::Message(TXMsgDlgType kind, const std::string& text) {
    Ask(text, kind, Btn(mbOK), mbOK);
}

TXMsgDlgBtn TXQtDialogs::Ask(const std::string& text, TXMsgDlgType kind, TXMsgDlgButtons buttons,
                             TXMsgDlgBtn defaultButton) {
    if (!HaveWidgets()) {
        // A program without windows (tools) still gets the text somewhere.
        std::fprintf(stderr, "%s: %s\n", DialogTitle(kind).c_str(), text.c_str());
        return defaultButton;
    }
    if (buttons == 0)
        buttons = Btn(mbOK);
    QMessageBox box(IconOf(kind), ToQString(DialogTitle(kind)), ToQString(text), QMessageBox::NoButton,
                    DialogParent());
    QPushButton* pushed[mbHelp + 1] = {};
    for (int b = mbYes; b <= mbHelp; ++b) {
        if (buttons & Btn(static_cast<TXMsgDlgBtn>(b))) {
            const auto btn = static_cast<TXMsgDlgBtn>(b);
            pushed[b] = box.addButton(ToQString(ButtonCaption(btn)), RoleOf(btn));
        }
    }
    if (pushed[defaultButton])
        box.setDefaultButton(pushed[defaultButton]);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (int b = mbYes; b <= mbHelp; ++b)
        if (pushed[b] != nullptr && pushed[b] == clicked)
            return static_cast<TXMsgDlgBtn>(b);
    return CloseAnswer(buttons, defaultButton);
}

std::string TXQtDialogs::OpenFileName(const std::string& title, const std::string& filter,
                                      const std::string& initialPath) {
    if (!HaveWidgets())
        return {};
    return QStringToNative(QFileDialog::getOpenFileName(DialogParent(), ToQString(title),
                                                        NativeToQString(initialPath), QtFilter(filter)));
}

std::string TXQtDialogs::SaveFileName(const std::string& title, const std::string& filter,
                                      const std::string& initialPath) {
    if (!HaveWidgets())
        return {};
    // The callers confirm or refuse an existing file with their own messages.
    return QStringToNative(QFileDialog::getSaveFileName(DialogParent(), ToQString(title),
                                                        NativeToQString(initialPath), QtFilter(filter),
                                                        nullptr, QFileDialog::DontConfirmOverwrite));
}

std::string TXQtDialogs::ChooseFolder(const std::string& title, const std::string& initialPath) {
    if (!HaveWidgets())
        return {};
    return QStringToNative(
        QFileDialog::getExistingDirectory(DialogParent(), ToQString(title), NativeToQString(initialPath)));
}

bool TXQtDialogs::StartProgram(const std::string& program, const std::vector<std::string>& args) {
    QStringList list;
    for (const auto& a : args)
        list << NativeToQString(a);
    return QProcess::startDetached(NativeToQString(program), list);
}

// ---- scripted dialogs ---------------------------------------------------------------------------

void TXScriptedDialogs::Message(TXMsgDlgType kind, const std::string& text) {
    TXCall c;
    c.Kind = dkMessage;
    c.Type = kind;
    c.Title = DialogTitle(kind);
    c.Text = text;
    c.Buttons = Btn(mbOK);
    c.Default = mbOK;
    Calls.push_back(std::move(c));
}

TXMsgDlgBtn TXScriptedDialogs::Ask(const std::string& text, TXMsgDlgType kind, TXMsgDlgButtons buttons,
                                   TXMsgDlgBtn defaultButton) {
    TXCall c;
    c.Kind = dkAsk;
    c.Type = kind;
    c.Title = DialogTitle(kind);
    c.Text = text;
    c.Buttons = buttons;
    c.Default = defaultButton;
    Calls.push_back(std::move(c));
    if (Answers.empty()) {
        ++Unanswered;
        return defaultButton;
    }
    const TXMsgDlgBtn answer = Answers.front();
    Answers.pop_front();
    return answer;
}

std::string TXScriptedDialogs::NextPath(TXKind kind, const std::string& title, const std::string& filter,
                                        const std::string& initialPath) {
    TXCall c;
    c.Kind = kind;
    c.Title = title;
    c.Text = filter;
    c.Initial = initialPath;
    Calls.push_back(std::move(c));
    if (Paths.empty()) {
        ++Unanswered;
        return {};
    }
    std::string path = Paths.front();
    Paths.pop_front();
    return path;
}

std::string TXScriptedDialogs::OpenFileName(const std::string& title, const std::string& filter,
                                            const std::string& initialPath) {
    return NextPath(dkOpen, title, filter, initialPath);
}

std::string TXScriptedDialogs::SaveFileName(const std::string& title, const std::string& filter,
                                            const std::string& initialPath) {
    return NextPath(dkSave, title, filter, initialPath);
}

std::string TXScriptedDialogs::ChooseFolder(const std::string& title, const std::string& initialPath) {
    return NextPath(dkFolder, title, {}, initialPath);
}

bool TXScriptedDialogs::StartProgram(const std::string& program, const std::vector<std::string>& args) {
    TXCall c;
    c.Kind = dkStart;
    c.Text = program;
    c.Args = args;
    Calls.push_back(std::move(c));
    return StartResult;
}

std::vector<std::string> TXScriptedDialogs::Texts(TXMsgDlgType type) const {
    std::vector<std::string> out;
    for (const auto& c : Calls)
        if ((c.Kind == dkMessage || c.Kind == dkAsk) && c.Type == type)
            out.push_back(c.Text);
    return out;
}

void TXScriptedDialogs::Clear() {
    Calls.clear();
    Answers.clear();
    Paths.clear();
    Unanswered = 0;
}
