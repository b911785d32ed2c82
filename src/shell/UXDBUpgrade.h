#pragma once
// The database upgrade without its window: one row per configuration, the lock sequence across
// the rows, the upgrade messages to the data server and the population steps run on a session
// of their own. The upgrade screen only shows the rows and reacts to OnChanged / OnCloseNow.

#include "foundation/UXVersion.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TXDataClient;
class TXDBDataBaseStructure;
class TXSQLSessionGUI;

// One configuration being upgraded.
struct TUpdateData {
    std::string CFG;
    TXVersion OldVersion; // the server's
    TXVersion NewVersion; // the script's
    TXDBDataBaseStructure* Structure = nullptr;
    std::string Status;
    std::string Message; // the server's last upgrade message for it; cleared on every new status
};

class TXDBUpgrade : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kIniciando = "Iniciando";
    static constexpr const char* kAguardandoExclusivo = "Aguardando acesso exclusivo";
    static constexpr const char* kExclusivoGarantido = "acesso exclusivo garantido";
    static constexpr const char* kEnviando = "enviando atualizações";
    static constexpr const char* kPopulandoA = "Populando (A)";
    static constexpr const char* kPopulandoB = "Populando (B)";
    static constexpr const char* kTerminado = "terminado";
    static constexpr const char* kAguardandoAtualizacao = "Aguardando atualização";
    static constexpr const char* kJaAtualizado = "já atualizado";
    static constexpr const char* kErro = "erro";
    static constexpr const char* kCommitId = "system-auto-commit";

    explicit TXDBUpgrade(QObject* parent = nullptr);
    ~TXDBUpgrade() override;

    // The data client; the session "geral" is opened here (the client must be connected).
    void Setup(TXDataClient& client);

    // Appends a row "Iniciando"; the first row (or a row added after the previous one was queued)
    // asks for its lock at once.
    void AddConfiguration(const std::string& cfg, const TXVersion& serverVersion,
                          const TXVersion& scriptVersion, TXDBDataBaseStructure* structure);
    int RowCount() const { return static_cast<int>(mRows.size()); }
    const TUpdateData& Row(int i) const { return mRows[static_cast<size_t>(i)]; }
    int FindRow(const std::string& cfg) const; // -1 when absent; without regard to case
    // What the status cell shows: the status, and the server's message after it when there is one.
    std::string StatusText(int i) const;

    bool Finished() const { return mFinished; }
    bool Fatal() const { return mFatal; }
    bool StepRunning() const { return mStep != stNone; }

    // ---- the data client's events
    void LockResult(const std::string& cfg, const std::string& LU, bool success);
    void LockExclusive(const std::string& cfg);
    void UpgradeBeginCompleted(const std::string& cfg, bool updated);
    void UpgradeEndCompleted(const std::string& cfg, TXVersion& v);
    void UpgradedVersion(const std::string& cfg, bool ok, const TXVersion& v);
    void UpgradeMsg(const std::string& code, const std::string& msg);

    // The closing rules: true when the screen may close (asking the user when the upgrade is not
    // complete; leaving then sets the fatal flag).
    bool CloseRequested();

    // A row or a flag changed.
    std::function<void()> OnChanged;
    // The application must end (raised once, when the fatal flag is set).
    std::function<void()> OnFatal;
    // The upgrade cannot go on: the screen must close (after OnFatal).
    std::function<void()> OnCloseNow;

    TXSQLSessionGUI& Session() const { return *mSession; }

protected:
    // ---- steps the application redefines
    // Both false by default.
    virtual void UpgradeFlags(const TUpdateData& row, bool& first, bool& second);
    // A population step starts; it ends with StepDone() (or fails through an SQL or sequence error).
    virtual void PopulationA(TUpdateData& row);
    virtual void PopulationB(TUpdateData& row);
    // A command of the running step completed.
    virtual void StatementCompleted(const std::string& id);

    void StepDone();
    // Stops the running step as failed with a message already shown.
    void StepFailed();
    const TUpdateData* CurrentRow() const;

private:
    enum TStep { stNone, stA, stB };

    void SetStatus(TUpdateData& row, const char* status);
    void Changed();
    void CheckFinished();
    void FatalEnd(const std::string& message);
    void SetFatal();
    void StartPopulation(TStep step, size_t row);
    void BeginStep();
    void StepSucceeded();
    void PopulationFailed();
    std::string ScriptText(const TUpdateData& row) const;
    void SendSetVersion(const TUpdateData& row);

    void SessionReady();
    void SessionCommand(const std::string& id);
    void SessionSQLError(const std::string& id, const std::string& error);
    void SessionSequenceError(const std::string& table, const std::string& field, const std::string& error);
    void SessionCreateError(const std::string& error);

    TXDataClient* mClient = nullptr;
    bool mFatal = false;
    std::unique_ptr<TXSQLSessionGUI> mSession;
    std::vector<TUpdateData> mRows;
    int mLocks = 0;
    bool mFinished = false;
    TStep mStep = stNone;
    size_t mStepRow = 0;
    bool mWaitingReady = false;
    bool mStepDone = false;
    bool mStepFailed = false;
    bool mCommitDone = false;
    // Set while the data client waits in UpgradeEndCompleted for the version to send.
    TXVersion* mEndVersion = nullptr;
};
