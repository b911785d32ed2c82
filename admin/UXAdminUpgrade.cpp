#include "admin/UXAdminUpgrade.h"

#include "admin/UXAdminArgs.h"
#include "admin/UXAdminDialogs.h"
#include "dataserver/UXDataClient.h"
#include "dataserver/UXTCPClientPack.h"
#include "foundation/UCp1252.h"
#include "foundation/UXData.h"
#include "foundation/UXText.h"
#include "shell/UFDBUpdate.h"
#include "sql/UTBStruct_App.h"
#include "sql/UXDBDataBaseStructure.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <charconv>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>

namespace {

// One configuration on its way: names in Windows-1252 as the wire carries them.
struct TXCfgRun {
    std::string name;     // as typed (UTF-8), for the output
    std::string wireName; // Windows-1252
    std::string password; // Windows-1252
    std::optional<bool> loggedIn;
    std::optional<TXVersion> version;
    bool versionAbsent = false;
    std::string lastStatus; // what was printed last
    bool ok = false;        // "terminado" or "já atualizado"
    bool unlocked = false;
};

class TXUpgradeRun {
public:
    TXUpgradeRun(const TXAdminUpgradeOptions& o, std::ostream& out, std::ostream& err)
        : mO(o), mOut(out), mErr(err), mDialogs(err), mScope(mDialogs) {}

    int Run();

private:
    bool Connect();
    bool Login();
    bool Versions();
    int Check();
    bool Upgrade(TXCfgRun& c);
    void WireEvents();
    void ServerError(const std::string& code, TXData& d);
    TXCfgRun* Find(const std::string& wireName);
    void Printed(TXCfgRun& c, const std::string& text);
    int Fail(const std::string& text);
    bool Broken() const { return mLost || !mConnectError.empty() || mDialogs.Failed; }
    std::string Where() const { return mO.host + ":" + std::to_string(mO.port); }
    // Processes events until done() or until timeoutMs pass without any event from the server.
    bool Wait(const std::function<bool()>& done, int timeoutMs);

    const TXAdminUpgradeOptions& mO;
    std::ostream& mOut;
    std::ostream& mErr;
    TXAdminDialogs mDialogs;
    TXDialogServiceScope mScope;
    TXDBDataBaseStructure mStructure;
    std::vector<TXCfgRun> mCfgs;
    int64_t mActivity = 0;
    bool mGotId = false;
    bool mLost = false;
    bool mCfgOpening = false;
    std::string mConnectError;
    // Declared after what their handlers use, so they are destroyed first.
    TXTCPClientPack mPack;
    TXDataClient mDC;
    std::unique_ptr<TFDBUpdate> mLogic; // the configuration being upgraded
};

int TXUpgradeRun::Fail(const std::string& text) {
    mErr << "sarvolentis-admin: " << text << "\n";
    mErr.flush();
    return 1;
}

bool TXUpgradeRun::Wait(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    int64_t seen = mActivity;
    while (!done()) {
        if (mActivity != seen) {
            seen = mActivity;
            t.restart();
        }
        if (t.elapsed() > timeoutMs)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

TXCfgRun* TXUpgradeRun::Find(const std::string& wireName) {
    for (auto& c : mCfgs)
        if (SameText(c.wireName, wireName))
            return &c;
    return nullptr;
}

void TXUpgradeRun::Printed(TXCfgRun& c, const std::string& text) {
    if (text == c.lastStatus)
        return;
    c.lastStatus = text;
    mOut << c.name << ": " << text << "\n";
    mOut.flush();
}

// The server's "ERR" messages, shown as the main window shows them; every one ends the run.
void TXUpgradeRun::ServerError(const std::string& code, TXData& d) {
    ++mActivity;
    try {
        if (code == "CFGOPENING") {
            mCfgOpening = true; // the configuration is being opened: log in again shortly
        } else if (code == "UPGRADE") {
            const std::string cfg = GetS(d);
            const std::string message = GetS(d);
            ShowError(Utf8ToCp1252("Erro crítico de atualização do sistema:") + "\r\nCFG:" + cfg + " " +
                      message);
        } else if (code == "CFGERROR") {
            const std::string cfg = GetS(d);
            const std::string error = GetS(d);
            ShowError(Utf8ToCp1252("Erro crítico de abertura da configuração ") + cfg + "\r\nErro:" + error);
        } else if (code == "MUSTBEADM") {
            ShowError(Utf8ToCp1252("Erro crítico no sistema:\r\nUsuário não logado como ADM"));
        } else if (code == "MUSTBELOGGED") {
            const std::string cfg = GetS(d);
            ShowError(Utf8ToCp1252("Erro crítico no sistema:\r\nUsuário não logado na configuração ") + cfg);
        } else if (code == "UNKNOWNSEMAPHORE") {
            const std::string semaphore = GetS(d);
            const std::string data = GetS(d);
            ShowError(Utf8ToCp1252("semáforo desconhecido ") + semaphore + "." + data);
        }
    } catch (const std::exception& e) {
        ShowError("malformed server error " + code + ": " + e.what());
    }
}

void TXUpgradeRun::WireEvents() {
    mPack.OnIDReceived = [this] {
        ++mActivity;
        mGotId = true;
    };
    mPack.OnConnectError = [this](const std::string& m) {
        mConnectError = m.empty() ? "connection refused" : m;
    };
    mPack.OnDisconnect = [this] { mLost = true; };
    mDC.OnErrorMessage = [this](const std::string& code, TXData& d) { ServerError(code, d); };
    mDC.OnAuthCheck = [this](const std::string& cfg, bool ok, int32_t) {
        ++mActivity;
        if (TXCfgRun* c = Find(cfg))
            c->loggedIn = ok;
    };
    mDC.OnCFGVersion = [this](const std::string& cfg, const TXVersion& v) {
        ++mActivity;
        if (TXCfgRun* c = Find(cfg)) {
            c->version = v;
            c->versionAbsent = v.Invalid;
        }
    };
    // The upgrade replies go to the logic, as the login screen passes them on.
    mDC.OnLockResult = [this](const std::string& cfg, const std::string& LU, bool success) {
        ++mActivity;
        if (SameText(LU, "U")) {
            if (TXCfgRun* c = Find(cfg))
                c->unlocked = true;
            return;
        }
        if (mLogic)
            mLogic->LockResult(cfg, LU, success);
    };
    mDC.OnLockExclusive = [this](const std::string& cfg) {
        ++mActivity;
        if (mLogic)
            mLogic->LockExclusive(cfg);
    };
    mDC.OnUpgradeMsg = [this](const std::string& code, const std::string& msg) {
        ++mActivity;
        if (mLogic)
            mLogic->UpgradeMsg(code, msg);
    };
    mDC.OnUpgradeBeginCompleted = [this](const std::string& cfg, bool updated) {
        ++mActivity;
        if (!mLogic || mLogic->FindRow(cfg) < 0) {
            ShowError("UpgradeBeginCompleted Resposta inesperada do DataServer para CFG: " + cfg);
            return;
        }
        mLogic->UpgradeBeginCompleted(cfg, updated);
    };
    mDC.OnUpgradeEndCompleted = [this](const std::string& cfg, TXVersion& v) {
        ++mActivity;
        if (!mLogic || mLogic->FindRow(cfg) < 0) {
            ShowError("UpgradeEndCompleted Resposta inesperada do DataServer para CFG: " + cfg);
            return;
        }
        mLogic->UpgradeEndCompleted(cfg, v);
    };
    mDC.OnUpgradedVersion = [this](const std::string& cfg, bool ok, const TXVersion& v) {
        ++mActivity;
        if (mLogic)
            mLogic->UpgradedVersion(cfg, ok, v);
    };
}

bool TXUpgradeRun::Connect() {
    mPack.IP = mO.host;
    mPack.Port = mO.port;
    mPack.Activate(-1);
    Wait([&] { return mGotId || Broken(); }, mO.timeoutMs);
    if (mGotId && !Broken())
        return true;
    if (!mConnectError.empty())
        Fail("cannot connect to " + Where() + " (error " + mConnectError + ")");
    else if (mLost)
        Fail("connection to the data server at " + Where() + " lost");
    else if (!mDialogs.Failed)
        Fail("no answer from " + Where());
    return false;
}

bool TXUpgradeRun::Login() {
    auto sendChecks = [&] {
        for (auto& c : mCfgs) {
            c.loggedIn.reset();
            mDC.CheckCFG(c.password, c.wireName);
        }
    };
    auto answered = [&] {
        for (const auto& c : mCfgs)
            if (!c.loggedIn)
                return false;
        return true;
    };
    sendChecks();
    QElapsedTimer total;
    total.start();
    while (!answered() && !Broken()) {
        if (mCfgOpening) {
            // Opening a database takes a moment; the server answers CFGOPENING until it is open.
            if (total.elapsed() > mO.timeoutMs)
                break;
            mCfgOpening = false;
            QElapsedTimer pause;
            pause.start();
            while (pause.elapsed() < 200 && !Broken())
                QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
            mDC.Logout();
            sendChecks();
            continue;
        }
        if (!Wait([&] { return answered() || mCfgOpening || Broken(); }, mO.timeoutMs))
            break;
    }
    if (Broken())
        return mLost ? (Fail("connection to the data server lost"), false) : false;
    bool ok = true;
    for (const auto& c : mCfgs) {
        if (!c.loggedIn) {
            Fail("no answer to the login to configuration " + c.name);
            ok = false;
        } else if (!*c.loggedIn) {
            Fail("login to configuration " + c.name + " refused (unknown configuration or wrong password)");
            ok = false;
        }
    }
    return ok;
}

bool TXUpgradeRun::Versions() {
    for (auto& c : mCfgs)
        mDC.RequestVersion(c.wireName);
    auto all = [&] {
        for (const auto& c : mCfgs)
            if (!c.version)
                return false;
        return true;
    };
    if (!Wait([&] { return all() || Broken(); }, mO.timeoutMs) || Broken())
        return mLost ? (Fail("connection to the data server lost"), false)
                     : (mDialogs.Failed ? false : (Fail("no answer to the version request"), false));
    bool ok = true;
    for (const auto& c : mCfgs)
        if (c.versionAbsent) {
            Fail("the data server reports no schema version for configuration " + c.name);
            ok = false;
        }
    return ok;
}

int TXUpgradeRun::Check() {
    const TXVersion& script = mStructure.VersionValue();
    bool needed = false, newer = false;
    for (const auto& c : mCfgs) {
        const int cmp = CompareVersions(*c.version, script);
        const char* verdict = cmp == 0  ? "up to date"
                              : cmp < 0 ? "upgrade needed"
                                        : "database newer than this program: upgrade the program";
        needed |= cmp < 0;
        newer |= cmp > 0;
        mOut << c.name << ": server " << VersionToStr(*c.version) << ", script " << VersionToStr(script)
             << ", " << verdict << "\n";
    }
    mOut.flush();
    return newer ? 1 : needed ? 3 : 0;
}

bool TXUpgradeRun::Upgrade(TXCfgRun& c) {
    const TXVersion& script = mStructure.VersionValue();
    mOut << c.name << ": upgrading from " << VersionToStr(*c.version) << " to " << VersionToStr(script)
         << "\n";
    // The population steps run on a session of the configuration being upgraded.
    mDC.DefaultCFG = c.wireName;
    mLogic = std::make_unique<TFDBUpdate>();
    TFDBUpdate& logic = *mLogic;
    logic.OnChanged = [this, &c, &logic] {
        ++mActivity;
        if (logic.RowCount() > 0)
            Printed(c, Cp1252ToUtf8(logic.StatusText(0)));
    };
    try {
        logic.Setup(mDC);
        logic.AddConfiguration(c.wireName, *c.version, script, &mStructure);
    } catch (const std::exception& e) {
        ShowError(e.what());
    }
    auto ended = [&] {
        if (logic.Finished() || logic.Fatal() || Broken())
            return true;
        return logic.RowCount() > 0 && logic.Row(0).Status == TXDBUpgrade::kErro;
    };
    const bool answered = Wait(ended, mO.timeoutMs);
    c.ok = logic.Finished() && !logic.Fatal() && !mDialogs.Failed;
    if (c.ok || (logic.RowCount() > 0 && logic.Row(0).Status == TXDBUpgrade::kErro))
        Wait([&] { return c.unlocked || Broken(); }, mO.timeoutMs); // the logic sent UNLOCK
    if (!answered)
        Fail(c.name + ": no answer from the data server (status " + c.lastStatus + ")");
    else if (mLost)
        Fail("connection to the data server lost");
    else if (!c.ok && !mDialogs.Failed)
        Fail(c.name + ": the upgrade ended with status " + c.lastStatus);
    mLogic.reset();
    return c.ok;
}

int TXUpgradeRun::Run() {
    SetupAppStructure(mStructure);
    for (const auto& cfg : mO.cfgs) {
        TXCfgRun c;
        c.name = cfg.name;
        c.wireName = Utf8ToCp1252(cfg.name);
        c.password = Utf8ToCp1252(cfg.password);
        mCfgs.push_back(std::move(c));
    }
    mDC.SetTCPClientPack(&mPack);
    mDC.DefaultCFG = mCfgs.front().wireName;
    WireEvents();
    if (!Connect() || !Login() || !Versions())
        return 1;
    if (mO.check)
        return Check();

    // Nothing is touched unless every configuration can be brought to the script's version.
    const TXVersion& script = mStructure.VersionValue();
    bool ok = true;
    for (const auto& c : mCfgs)
        if (CompareVersions(*c.version, script) > 0) {
            Fail(c.name + ": the database is at version " + VersionToStr(*c.version) +
                 ", newer than this program's " + VersionToStr(script) + "; upgrade the program instead");
            ok = false;
        }
    if (!ok)
        return 1;
    for (auto& c : mCfgs) {
        if (CompareVersions(*c.version, script) == 0) {
            Printed(c, std::string(TXDBUpgrade::kJaAtualizado) + " (" + VersionToStr(script) + ")");
            c.ok = true;
            continue;
        }
        if (!Upgrade(c))
            return 1; // a failed upgrade stops here: the later configurations stay as they were
    }
    // Let the last packets (session release) go out before the connection closes.
    Wait([] { return false; }, 0);
    return 0;
}

} // namespace

std::string TXAdminUpgrade::Help() {
    return "usage: sarvolentis-admin upgrade [options]\n"
           "Brings configurations of the data server up to this program's schema version, as the\n"
           "client's upgrade screen does: exclusive lock, schema script to the server, data\n"
           "population, new version, unlock. Configurations are upgraded one after the other.\n"
           "\n"
           "  --server HOST:PORT   data server (default 127.0.0.1:59504)\n"
           "  --cfg NAME[:PASSWORD]\n"
           "                       a configuration to upgrade; may be repeated (default SARVOLENTIS);\n"
           "                       the name ends at the first ':', the rest is its password\n"
           "  --password P         a configuration password; the n-th --password belongs to the n-th\n"
           "                       --cfg given without :PASSWORD (default empty)\n"
           "  --check              only compare versions: print configuration, server version, script\n"
           "                       version and whether an upgrade is needed\n"
           "  --timeout SECONDS    give up when the server stays silent this long (default 600)\n"
           "\n"
           "Every status change of a configuration is printed on stdout (\"Iniciando\", ...,\n"
           "\"terminado\"), with the server's progress messages; errors go to stderr.\n"
           "Exit status: 0 when every configuration ends \"terminado\" or \"já atualizado\";\n"
           "1 on any failure (a database newer than the program is never touched);\n"
           "with --check: 0 all up to date, 3 an upgrade is needed, 1 on a failure or a newer database.\n"
           "\n"
           "example: sarvolentis-admin upgrade --server 127.0.0.1:59504 --cfg SARVOLENTIS --password "
           "s3gredo\n"
           "         sarvolentis-admin upgrade --check --cfg SARVOLENTIS:s3gredo --cfg OUTRA:x\n";
}

bool TXAdminUpgrade::Parse(const std::vector<std::string>& args, TXAdminUpgradeOptions& o, std::string& error,
                           bool& help) {
    help = false;
    std::vector<std::string> passwords;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        auto value = [&] {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            help = true;
            return true;
        } else if (a == "--server") {
            if (!value())
                return false;
            if (!ParseServerAddress(v, o.host, o.port, error))
                return false;
        } else if (a == "--cfg") {
            if (!value())
                return false;
            TXAdminUpgradeCfg c;
            const size_t colon = v.find(':');
            c.name = v.substr(0, colon);
            if (colon != std::string::npos) {
                c.password = v.substr(colon + 1);
                c.inlinePassword = true;
            }
            if (Trim(c.name).empty()) {
                error = "--cfg takes NAME or NAME:PASSWORD, not " + v;
                return false;
            }
            o.cfgs.push_back(std::move(c));
        } else if (a == "--password") {
            if (!value())
                return false;
            passwords.push_back(v);
        } else if (a == "--check") {
            o.check = true;
        } else if (a == "--timeout") {
            int64_t s = 0;
            if (!value())
                return false;
            if (!ParseInt(v, s) || s < 1 || s > 86400) {
                error = "--timeout takes seconds, not " + v;
                return false;
            }
            o.timeoutMs = int(s * 1000);
        } else {
            error = a.rfind("--", 0) == 0 ? "unknown option " + a : "unexpected argument " + a;
            return false;
        }
    }
    if (o.cfgs.empty())
        o.cfgs.push_back({"SARVOLENTIS", "", false});
    size_t next = 0;
    for (auto& c : o.cfgs)
        if (!c.inlinePassword && next < passwords.size())
            c.password = passwords[next++];
    if (next < passwords.size()) {
        error = "more --password than configurations without :PASSWORD";
        return false;
    }
    for (size_t i = 0; i < o.cfgs.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (SameText(o.cfgs[i].name, o.cfgs[j].name)) {
                error = "configuration " + o.cfgs[i].name + " given twice";
                return false;
            }
    return true;
}

int TXAdminUpgrade::Run(const TXAdminUpgradeOptions& o, std::ostream& out, std::ostream& err) {
    TXUpgradeRun run(o, out, err);
    return run.Run();
}
