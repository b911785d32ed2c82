#include "shell/UXDBUpgrade.h"

#include "dataserver/UXDataClient.h"
#include "dataserver/UXSQLSessionGUI.h"
#include "dataserver/UXTCPClientService.h"
#include "foundation/UCp1252.h"
#include "foundation/UXData.h"
#include "foundation/UXDialogs.h"
#include "foundation/UXText.h"
#include "sql/UXDBDataBaseStructure.h"

#include <exception>

TXDBUpgrade::TXDBUpgrade(QObject* parent) : QObject(parent) {}

TXDBUpgrade::~TXDBUpgrade() = default;

void TXDBUpgrade::Setup(TXDataClient& client) {
    mClient = &client;
    mSession = std::make_unique<TXSQLSessionGUI>();
    mSession->DC = &client;
    mSession->OP = "geral";
    mSession->OnReady = [this](TXSQLSessionGUI&) { SessionReady(); };
    mSession->OnCommand = [this](TXSQLSessionGUI&, const std::string& id) { SessionCommand(id); };
    mSession->OnSQLError = [this](TXSQLSessionGUI&, const std::string& id, const std::string& e) {
        SessionSQLError(id, e);
    };
    mSession->OnSequenceError = [this](TXSQLSessionGUI&, const std::string&, const std::string& table,
                                       const std::string& field,
                                       const std::string& e) { SessionSequenceError(table, field, e); };
    mSession->OnCreateError = [this](TXSQLSessionGUI&, const std::string& e) { SessionCreateError(e); };
    mSession->Loaded();
}

// ---- rows -------------------------------------------------------------------------------------------

void TXDBUpgrade::AddConfiguration(const std::string& cfg, const TXVersion& serverVersion,
                                   const TXVersion& scriptVersion, TXDBDataBaseStructure* structure) {
    TUpdateData row;
    row.CFG = cfg;
    row.OldVersion = serverVersion;
    row.NewVersion = scriptVersion;
    row.Structure = structure;
    row.Status = kIniciando;
    mRows.push_back(std::move(row));
    mFinished = false;
    Changed();
    // The first row starts the chain; a row added after the chain has passed its predecessor
    // would otherwise never ask for its lock.
    if (mRows.size() == 1 || mLocks == static_cast<int>(mRows.size()) - 1)
        mClient->Lock(cfg);
}

int TXDBUpgrade::FindRow(const std::string& cfg) const {
    for (size_t i = 0; i < mRows.size(); ++i)
        if (SameText(mRows[i].CFG, cfg))
            return static_cast<int>(i);
    return -1;
}

std::string TXDBUpgrade::StatusText(int i) const {
    const TUpdateData& row = Row(i);
    std::string text = Utf8ToCp1252(row.Status);
    if (!row.Message.empty())
        text += " - " + row.Message;
    return text;
}

const TUpdateData* TXDBUpgrade::CurrentRow() const {
    return mStep == stNone ? nullptr : &mRows[mStepRow];
}

void TXDBUpgrade::SetStatus(TUpdateData& row, const char* status) {
    row.Status = status;
    row.Message.clear();
    Changed();
}

void TXDBUpgrade::Changed() {
    if (OnChanged)
        OnChanged();
}

void TXDBUpgrade::CheckFinished() {
    for (const auto& row : mRows)
        if (row.Status != kTerminado && row.Status != kJaAtualizado)
            return;
    mFinished = !mRows.empty();
    Changed();
}

void TXDBUpgrade::SetFatal() {
    if (mFatal)
        return;
    mFatal = true;
    if (OnFatal)
        OnFatal();
}

void TXDBUpgrade::FatalEnd(const std::string& message) {
    ShowError(message);
    SetFatal();
    Changed();
    if (OnCloseNow)
        OnCloseNow();
}

std::string TXDBUpgrade::ScriptText(const TUpdateData& row) const {
    std::string text;
    if (!row.Structure)
        return text;
    const auto& lines = row.Structure->Script();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i)
            text += "\r\n";
        text += lines[i];
    }
    return text;
}

// ---- the data client's events -----------------------------------------------------------------------

void TXDBUpgrade::LockResult(const std::string& cfg, const std::string& LU, bool success) {
    if (!SameText(LU, "L"))
        return; // UNLOCK replies
    const int i = FindRow(cfg);
    if (i < 0) {
        FatalEnd("Resposta inesperada a DCLockResult: " + cfg);
        return;
    }
    if (success) {
        ++mLocks;
        SetStatus(mRows[static_cast<size_t>(i)], kAguardandoExclusivo);
        if (static_cast<size_t>(i) + 1 < mRows.size())
            mClient->Lock(mRows[static_cast<size_t>(i) + 1].CFG);
        return;
    }
    SetStatus(mRows[static_cast<size_t>(i)], kAguardandoAtualizacao);
    if (mRows.front().Status == kAguardandoExclusivo) {
        FatalEnd(Utf8ToCp1252("Erro crítico, não é possível travar todas as configurações"));
        return;
    }
    // Another client holds the lock and upgrades; this one waits.
    for (size_t r = 1; r < mRows.size(); ++r)
        SetStatus(mRows[r], kAguardandoAtualizacao);
}

void TXDBUpgrade::LockExclusive(const std::string& cfg) {
    const int i = FindRow(cfg);
    if (i < 0) {
        FatalEnd("Resposta inesperada a DCLockExclusive: " + cfg);
        return;
    }
    SetStatus(mRows[static_cast<size_t>(i)], kExclusivoGarantido);
    if (mLocks < static_cast<int>(mRows.size()))
        return;
    for (const auto& row : mRows)
        if (row.Status == kIniciando || row.Status == kAguardandoExclusivo ||
            row.Status == kAguardandoAtualizacao)
            return;
    for (auto& row : mRows) {
        if (row.Status != kExclusivoGarantido)
            continue;
        SetStatus(row, kEnviando);
        bool first = false;
        bool second = false;
        UpgradeFlags(row, first, second);
        mClient->UpgradeBegin(row.CFG, ScriptText(row), first, second);
    }
}

void TXDBUpgrade::UpgradeBeginCompleted(const std::string& cfg, bool updated) {
    const int i = FindRow(cfg);
    if (i < 0) {
        FatalEnd("Resposta inesperada a DCUpgradeBeginCompleted: " + cfg);
        return;
    }
    TUpdateData& row = mRows[static_cast<size_t>(i)];
    if (updated) {
        SetStatus(row, kJaAtualizado);
        // Another client did the work; keeping the lock would leave later waiters queued for good.
        mClient->Unlock(row.CFG);
        CheckFinished();
        return;
    }
    SetStatus(row, kPopulandoA);
    StartPopulation(stA, static_cast<size_t>(i));
}

void TXDBUpgrade::UpgradeEndCompleted(const std::string& cfg, TXVersion& v) {
    const int i = FindRow(cfg);
    if (i < 0) {
        FatalEnd("Resposta inesperada a DCUpgradeEndCompleted: " + cfg);
        return;
    }
    SetStatus(mRows[static_cast<size_t>(i)], kPopulandoB);
    // A step B that finishes at once fills v here, so the data client sends SETVERSION itself.
    mEndVersion = &v;
    StartPopulation(stB, static_cast<size_t>(i));
    mEndVersion = nullptr;
}

void TXDBUpgrade::UpgradedVersion(const std::string& cfg, bool ok, const TXVersion&) {
    const int i = FindRow(cfg);
    if (i < 0) {
        FatalEnd("Resposta inesperada a DCUpgradedVersion: " + cfg);
        return;
    }
    SetStatus(mRows[static_cast<size_t>(i)], ok ? kTerminado : kErro);
    if (ok)
        CheckFinished();
    mClient->Unlock(cfg);
}

void TXDBUpgrade::UpgradeMsg(const std::string& code, const std::string& msg) {
    const int i = FindRow(code);
    if (i < 0)
        return;
    mRows[static_cast<size_t>(i)].Message = msg;
    Changed();
}

bool TXDBUpgrade::CloseRequested() {
    if (mFinished)
        return true;
    if (mFatal)
        return true;
    if (AskPT(Utf8ToCp1252("A atualização não está completa, sai da aplicação?"), mtConfirmation, mbYesNo,
              mbYes) != mbYes)
        return false;
    SetFatal();
    return true;
}

// ---- population steps -------------------------------------------------------------------------------

void TXDBUpgrade::UpgradeFlags(const TUpdateData&, bool& first, bool& second) {
    first = false;
    second = false;
}

void TXDBUpgrade::PopulationA(TUpdateData&) {
    StepDone();
}

void TXDBUpgrade::PopulationB(TUpdateData&) {
    StepDone();
}

void TXDBUpgrade::StatementCompleted(const std::string&) {}

void TXDBUpgrade::StartPopulation(TStep step, size_t row) {
    mStep = step;
    mStepRow = row;
    mStepDone = mStepFailed = mCommitDone = false;
    if (step == stA && !mSession->Ready()) {
        mWaitingReady = true;
        return;
    }
    BeginStep();
}

void TXDBUpgrade::BeginStep() {
    mWaitingReady = false;
    try {
        mSession->StartTransaction();
        mStepDone = mStepFailed = mCommitDone = false;
        if (mStep == stA)
            PopulationA(mRows[mStepRow]);
        else
            PopulationB(mRows[mStepRow]);
    } catch (const std::exception& e) {
        ShowError(e.what());
        StepFailed();
    }
}

void TXDBUpgrade::StepDone() {
    if (mStep == stNone || mStepDone || mStepFailed)
        return;
    mStepDone = true;
    try {
        mSession->Commit(kCommitId);
    } catch (const std::exception& e) {
        ShowError(e.what());
        StepFailed();
    }
}

void TXDBUpgrade::StepFailed() {
    if (mStep == stNone || mStepFailed)
        return;
    mStepFailed = true;
    try {
        if (mSession->InTransaction())
            mSession->Rollback();
    } catch (const std::exception&) {
    }
    PopulationFailed();
}

void TXDBUpgrade::PopulationFailed() {
    mStep = stNone;
    // The application ends without UNLOCK: the server frees the lock with the connection.
    FatalEnd("Erro ao popular banco de dados");
}

void TXDBUpgrade::StepSucceeded() {
    const TStep step = mStep;
    TUpdateData& row = mRows[mStepRow];
    mStep = stNone;
    if (step == stA) {
        mClient->UpgradeEnd(row.CFG, ScriptText(row));
        return;
    }
    TXVersion v = row.NewVersion;
    v.Invalid = false;
    if (mEndVersion)
        *mEndVersion = v;
    else
        SendSetVersion(row);
}

void TXDBUpgrade::SendSetVersion(const TUpdateData& row) {
    TXVersion v = row.NewVersion;
    v.Invalid = false;
    TXData d;
    Init(d);
    PutS(d, row.CFG);
    PutS(d, VersionToStr(v));
    Finish(d);
    mClient->Service("CFG").SendData(0, "SETVERSION", d);
}

void TXDBUpgrade::SessionReady() {
    if (mWaitingReady && mStep != stNone)
        BeginStep();
}

void TXDBUpgrade::SessionCommand(const std::string& id) {
    if (mStep == stNone)
        return;
    if (mStepDone && SameText(id, kCommitId)) {
        mCommitDone = true;
        StepSucceeded();
        return;
    }
    if (!mStepDone && !mStepFailed)
        StatementCompleted(id);
}

void TXDBUpgrade::SessionSQLError(const std::string& id, const std::string& error) {
    if (mStep == stNone)
        return;
    ShowError("Erro populando : sql\r\n" + id + "\r\n" + error);
    StepFailed();
}

void TXDBUpgrade::SessionSequenceError(const std::string& table, const std::string& field,
                                       const std::string& error) {
    if (mStep == stNone)
        return;
    ShowError("Erro populando : sequence\r\n" + table + "." + field + "\r\n" + error);
    StepFailed();
}

void TXDBUpgrade::SessionCreateError(const std::string& error) {
    ShowError(error);
    if (mStep != stNone)
        StepFailed();
}
