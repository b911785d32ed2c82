#pragma once
// Every message box, question, file and folder dialog and program start goes through one replaceable
// service. Texts are Windows-1252; paths are native file-system strings (UTF-8 here).

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

enum TXMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

enum TXMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbHelp };

// A set of buttons: bits of TXMsgDlgBtn.
using TXMsgDlgButtons = uint32_t;
constexpr TXMsgDlgButtons Btn(TXMsgDlgBtn b) {
    return 1u << b;
}
constexpr TXMsgDlgButtons mbYesNo = Btn(mbYes) | Btn(mbNo);
constexpr TXMsgDlgButtons mbYesNoCancel = Btn(mbYes) | Btn(mbNo) | Btn(mbCancel);
constexpr TXMsgDlgButtons mbOKCancel = Btn(mbOK) | Btn(mbCancel);

// "Aviso", "Erro", "Informação", "Confirmação" and "&Sim", "&Não", ... (Windows-1252).
std::string DialogTitle(TXMsgDlgType kind);
std::string ButtonCaption(TXMsgDlgBtn button);

class TXDialogService {
public:
    virtual ~TXDialogService() = default;
    // A text with an OK button.
    virtual void Message(TXMsgDlgType kind, const std::string& text) = 0;
    // The pressed button; closing the dialog answers Cancel when offered, else No, else the default.
    virtual TXMsgDlgBtn Ask(const std::string& text, TXMsgDlgType kind, TXMsgDlgButtons buttons,
                            TXMsgDlgBtn defaultButton) = 0;
    // filter in the form "Arquivo MS Access (*.mdb)|*.mdb|Todos (*.*)|*.*"; empty result: cancelled.
    virtual std::string OpenFileName(const std::string& title, const std::string& filter,
                                     const std::string& initialPath) = 0;
    virtual std::string SaveFileName(const std::string& title, const std::string& filter,
                                     const std::string& initialPath) = 0;
    virtual std::string ChooseFolder(const std::string& title, const std::string& initialPath) = 0;
    // Starts another program detached, in a normal window; false when it could not be started.
    // program and args are native strings like paths.
    virtual bool StartProgram(const std::string& program, const std::vector<std::string>& args) = 0;
};

// The service in use: the installed one, else the Qt dialogs.
TXDialogService& Dialogs();
// Installs service (not owned; nullptr restores the Qt dialogs) and returns the previous one.
TXDialogService* SetDialogService(TXDialogService* service);

// Installs a service for the lifetime of the scope.
class TXDialogServiceScope {
public:
    explicit TXDialogServiceScope(TXDialogService& service) : mPrevious(SetDialogService(&service)) {}
    ~TXDialogServiceScope() { SetDialogService(mPrevious); }
    TXDialogServiceScope(const TXDialogServiceScope&) = delete;
    TXDialogServiceScope& operator=(const TXDialogServiceScope&) = delete;

private:
    TXDialogService* mPrevious;
};

void ShowError(const std::string& text);
void ShowWarning(const std::string& text);
void ShowInfo(const std::string& text);
TXMsgDlgBtn AskPT(const std::string& text, TXMsgDlgType kind, TXMsgDlgButtons buttons,
                  TXMsgDlgBtn defaultButton);
// Yes and No; true for Yes. The focus (default button) is on No only when defaultNo.
bool Confirm(const std::string& text, bool defaultNo = false);
// Shows message as an error when condition is false; returns condition.
bool CheckOrError(bool condition, const std::string& message);
std::string OpenFileDialog(const std::string& title, const std::string& filter,
                           const std::string& initialPath = {});
std::string SaveFileDialog(const std::string& title, const std::string& filter,
                           const std::string& initialPath = {});
std::string ChooseFolderDialog(const std::string& title, const std::string& initialPath = {});
bool StartProgram(const std::string& program, const std::vector<std::string>& args = {});

// The dialogs of the running program.
class TXQtDialogs : public TXDialogService {
public:
    void Message(TXMsgDlgType kind, const std::string& text) override;
    TXMsgDlgBtn Ask(const std::string& text, TXMsgDlgType kind, TXMsgDlgButtons buttons,
                    TXMsgDlgBtn defaultButton) override;
    std::string OpenFileName(const std::string& title, const std::string& filter,
                             const std::string& initialPath) override;
    std::string SaveFileName(const std::string& title, const std::string& filter,
                             const std::string& initialPath) override;
    std::string ChooseFolder(const std::string& title, const std::string& initialPath) override;
    bool StartProgram(const std::string& program, const std::vector<std::string>& args) override;
};

// For tests: records every call and answers from queues, never showing a window.
// An unanswered question gets its default button, an unanswered file choice is cancelled; both count
// in Unanswered so a test can tell.
class TXScriptedDialogs : public TXDialogService {
public:
    enum TXKind { dkMessage, dkAsk, dkOpen, dkSave, dkFolder, dkStart };
    struct TXCall {
        TXKind Kind = dkMessage;
        TXMsgDlgType Type = mtInformation; // messages and questions
        std::string Title;                 // dialog title (Windows-1252)
        std::string Text;                  // message or question; filter for file dialogs; program
        TXMsgDlgButtons Buttons = 0;
        TXMsgDlgBtn Default = mbOK;
        std::string Initial;           // initial path
        std::vector<std::string> Args; // program arguments
    };

    void Message(TXMsgDlgType kind, const std::string& text) override;
    TXMsgDlgBtn Ask(const std::string& text, TXMsgDlgType kind, TXMsgDlgButtons buttons,
                    TXMsgDlgBtn defaultButton) override;
    std::string OpenFileName(const std::string& title, const std::string& filter,
                             const std::string& initialPath) override;
    std::string SaveFileName(const std::string& title, const std::string& filter,
                             const std::string& initialPath) override;
    std::string ChooseFolder(const std::string& title, const std::string& initialPath) override;
    bool StartProgram(const std::string& program, const std::vector<std::string>& args) override;

    void PushAnswer(TXMsgDlgBtn button) { Answers.push_back(button); }
    // An empty path answers "cancelled".
    void PushPath(const std::string& path) { Paths.push_back(path); }

    std::vector<TXCall> Calls;
    std::deque<TXMsgDlgBtn> Answers;
    std::deque<std::string> Paths;
    bool StartResult = true;
    int Unanswered = 0;

    // Texts of the recorded messages of one type, in order.
    std::vector<std::string> Texts(TXMsgDlgType type) const;
    void Clear();

private:
    std::string NextPath(TXKind kind, const std::string& title, const std::string& filter,
                         const std::string& initialPath);
};
