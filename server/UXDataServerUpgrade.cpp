// The data server's schema upgrade commands: UPGRADEBEGIN, UPGRADEEND and SETVERSION. Only the
// connection at the head of a configuration's lock queue (the one that received LOCKEXCLUSIVE) may
// use them; the database work runs on the connection's control queue, never on the I/O thread.

#include "server/UXDataServer.h"

#include "foundation/UXData.h"
#include "foundation/UXVersion.h"
#include "server/UXPacket.h"
#include "server/UXSchemaUpgrade.h"
#include "server/UXSerialQueue.h"
#include "server/UXServerConfiguration.h"
#include "server/UXServerConnection.h"
#include "server/UXServerLog.h"
#include "server/engines/UXEngine.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace {

std::string Upper(std::string_view s) {
    std::string u(s);
    std::transform(u.begin(), u.end(), u.begin(), [](unsigned char c) { return std::toupper(c); });
    return u;
}

std::string CfgAndText(const std::string& cfg, const std::string& text) {
    TXData d;
    Init(d);
    PutS(d, cfg);
    PutS(d, text);
    Finish(d);
    return std::move(d.Data);
}

} // namespace

bool TXDataServer::HoldsExclusive(const TXServerConnection& c, const TXServerConfiguration& cfg) const {
    return !cfg.lockQueue.empty() && cfg.lockQueue.front() == c.key;
}

void TXDataServer::HandleUpgrade(TXServerConnection& c, const TXTCPPack& p, TXData& d,
                                 const std::string& cfgName,
                                 const std::shared_ptr<TXServerConfiguration>& cfg) {
    const std::string& cmd = p.Command;
    const std::string canon = Upper(cfg->Name());
    const uint64_t key = c.key;
    const std::string who = "connection " + std::to_string(c.id);
    const bool exclusive = HoldsExclusive(c, *cfg);

    if (cmd == "SETVERSION") {
        const std::string text = GetS(d);
        const TXVersion v = StrToVersion(text);
        if (!exclusive || v.Invalid) {
            ServerLog(who + ": SETVERSION " + text + " of " + cfg->Name() +
                      (exclusive ? " refused: not a version" : " refused: the configuration is not locked"));
            TXData o;
            Init(o);
            PutS(o, cfgName);
            PutBool(o, false);
            Finish(o);
            Send(c, "CFG", "SETVERSION", std::move(o.Data));
            return;
        }
        std::string scriptHash;
        if (auto it = c.endedScripts.find(canon); it != c.endedScripts.end()) {
            scriptHash = it->second;
            c.endedScripts.erase(it);
        }
        const uint64_t versionToken = cfg->BeginVersionStore();
        c.control->Post([this, key, cfg, cfgName, v, scriptHash, versionToken] {
            bool ok = false;
            try {
                auto engine = cfg->Engine();
                if (!engine) {
                    cfg->EndVersionStore(versionToken, nullptr);
                    throw std::runtime_error("the database is not open");
                }
                try {
                    engine->StoreVersion(v);
                } catch (...) {
                    cfg->EndVersionStore(versionToken, nullptr);
                    throw;
                }
                cfg->EndVersionStore(versionToken, &v);
                ok = true;
                ServerLog("configuration " + cfg->Name() + ": version set to " + VersionToStr(v));
                if (!scriptHash.empty()) {
                    // Lets a client that waited behind this one learn that its script is already in.
                    std::lock_guard lock(cfg->upgradeMutex);
                    TXSchemaUpgrade(*engine, "", nullptr).RecordVersion(scriptHash, v);
                }
            } catch (const std::exception& e) {
                ServerLog("configuration " + cfg->Name() +
                          (ok ? ": cannot remember the upgrade: " : ": cannot store the version: ") +
                          e.what());
            }
            TXData o;
            Init(o);
            PutS(o, cfgName);
            PutBool(o, ok);
            if (ok)
                PutS(o, VersionToStr(v));
            Finish(o);
            SendTo(key, "CFG", "SETVERSION", std::move(o.Data));
        });
        return;
    }

    TXUpgradeRequest request;
    request.script = GetS(d);
    if (cmd == "UPGRADEBEGIN") {
        request.keepData = GetBool(d);
        request.backup = GetBool(d);
    }
    if (!exclusive) {
        ServerLog(who + ": " + cmd + " of " + cfg->Name() + " refused: the configuration is not locked");
        SendErr(c, "UPGRADE",
                CfgAndText(cfgName, "the configuration is not locked exclusively by this connection "
                                    "(send LOCK and wait for LOCKEXCLUSIVE before upgrading)"));
        return;
    }

    if (cmd == "UPGRADEEND") {
        // Nothing is left to change here; the script is kept for the SETVERSION that follows.
        c.control->Post([this, key, canon, cfgName, script = std::move(request.script)] {
            Post([this, key, canon, cfgName, hash = TXSchemaUpgrade::ScriptHash(script)] {
                auto it = mConnections.find(key);
                if (it == mConnections.end())
                    return;
                it->second->endedScripts[canon] = hash;
                TXData o;
                Init(o);
                PutS(o, cfgName);
                Finish(o);
                Send(*it->second, "CFG", "UPGRADEEND", std::move(o.Data));
            });
        });
        return;
    }

    // UPGRADEBEGIN
    if (auto it = c.seenVersions.find(canon); it != c.seenVersions.end())
        request.seen = it->second;
    else
        request.seen.Invalid = true;
    ServerLog(who + ": upgrading " + cfg->Name() + " (script of " + std::to_string(request.script.size()) +
              " bytes, flags " + (request.keepData ? "1" : "0") + (request.backup ? "1" : "0") + ")");
    // The upgrade works on the XDS_ tables: the cached version is read again afterwards.
    const uint64_t versionToken = cfg->BeginVersionStore();
    c.control->Post([this, key, cfg, cfgName, who, versionToken, request = std::move(request)] {
        TXUpgradeResult r;
        if (auto engine = cfg->Engine()) {
            std::lock_guard lock(cfg->upgradeMutex);
            const std::string path = engine->EngineName() == "sqlite" ? cfg->Def().location : std::string();
            TXSchemaUpgrade upgrade(*engine, path, [&](const std::string& message) {
                SendTo(key, "CFG", "UPGRADEMSG", CfgAndText(cfgName, message));
            });
            try {
                r = upgrade.Begin(request);
            } catch (...) {
                cfg->EndVersionStore(versionToken, nullptr);
                throw;
            }
        } else {
            r.error = "the database is not open";
        }
        cfg->EndVersionStore(versionToken, nullptr);
        if (!r.ok) {
            ServerLog("configuration " + cfg->Name() + ": upgrade by " + who + " failed: " + r.error);
            SendTo(key, "ERR", "UPGRADE", CfgAndText(cfgName, r.error));
            return;
        }
        ServerLog("configuration " + cfg->Name() + ": upgrade by " + who +
                  (r.updated ? ": already up to date" : ": structure applied"));
        TXData o;
        Init(o);
        PutS(o, cfgName);
        PutBool(o, r.updated);
        Finish(o);
        SendTo(key, "CFG", "UPGRADEBEGIN", std::move(o.Data));
    });
}
