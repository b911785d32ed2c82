#include "server/UXServerOptions.h"

#include "foundation/UCp1252.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace {

int ParseInt(const std::string& option, const std::string& text, int minimum) {
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < minimum)
        throw EXServerOptions(option + ": not a valid number: " + text);
    return v;
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

std::string ResolveSqlite(const std::string& location, const std::string& dataDir) {
    std::filesystem::path p(location);
    if (p.is_relative())
        p = std::filesystem::path(dataDir) / p;
    return p.string();
}

} // namespace

std::string ServerUsage() {
    return "usage: sarvolentis-dataserver --data DIR [options]\n"
           "\n"
           "  --data DIR             folder of the SQLite databases (required)\n"
           "  --listen HOST:PORT     address to listen on (default 127.0.0.1:59504; port 0 picks a free "
           "one)\n"
           "  --config FILE          JSON file listing the configurations; without it one configuration\n"
           "                         SARVOLENTIS with an empty password in DIR/SARVOLENTIS.db\n"
           "  --port-file FILE       write the port actually listened on to FILE\n"
           "  --keepalive-ms N       interval of the keep-alive packets (default 30000)\n"
           "  --idle-timeout-ms N    close a connection silent for N ms (default 120000)\n"
           "  --help                 this text\n"
           "\n"
           "Configuration file:\n"
           "  {\"configurations\":[{\"name\":\"X\",\"password\":\"p\",\"engine\":\"sqlite\"|\"postgres\",\n"
           "                       \"location\":\"file (relative to --data) or libpq conninfo\"}]}\n";
}

TXServerOptions ParseServerOptions(const std::vector<std::string>& args) {
    TXServerOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
            return o;
        }
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw EXServerOptions(a + " needs a value");
            return args[++i];
        };
        if (a == "--data") {
            o.dataDir = value();
        } else if (a == "--listen") {
            const std::string& v = value();
            const auto colon = v.rfind(':');
            if (colon == std::string::npos || colon == 0)
                throw EXServerOptions("--listen: expected HOST:PORT, got " + v);
            o.listenHost = v.substr(0, colon);
            const int port = ParseInt("--listen", v.substr(colon + 1), 0);
            if (port > 65535)
                throw EXServerOptions("--listen: port out of range: " + v);
            o.listenPort = static_cast<uint16_t>(port);
        } else if (a == "--config") {
            o.configFile = value();
        } else if (a == "--port-file") {
            o.portFile = value();
        } else if (a == "--keepalive-ms") {
            o.keepAliveMs = ParseInt(a, value(), 1);
        } else if (a == "--idle-timeout-ms") {
            o.idleTimeoutMs = ParseInt(a, value(), 1);
        } else {
            throw EXServerOptions("unknown option: " + a);
        }
    }
    if (o.dataDir.empty())
        throw EXServerOptions("--data DIR is required");
    return o;
}

std::vector<TXConfigurationDef> ParseConfigurations(const std::string& json, const std::string& dataDir) {
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(json);
    } catch (const nlohmann::json::exception& e) {
        throw EXServerOptions(std::string("configuration file: ") + e.what());
    }
    if (!doc.is_object() || !doc.contains("configurations") || !doc["configurations"].is_array())
        throw EXServerOptions("configuration file: expected an object with a \"configurations\" array");
    std::vector<TXConfigurationDef> list;
    std::set<std::string> names;
    for (const auto& item : doc["configurations"]) {
        if (!item.is_object())
            throw EXServerOptions("configuration file: every configuration must be an object");
        auto text = [&](const char* key, bool required) -> std::string {
            if (!item.contains(key)) {
                if (required)
                    throw EXServerOptions(std::string("configuration file: \"") + key + "\" is missing");
                return {};
            }
            if (!item[key].is_string())
                throw EXServerOptions(std::string("configuration file: \"") + key + "\" must be a string");
            return item[key].get<std::string>();
        };
        TXConfigurationDef c;
        // JSON is UTF-8; names and passwords travel as Windows-1252 bytes on the wire.
        c.name = Utf8ToCp1252(text("name", true));
        c.password = Utf8ToCp1252(text("password", false));
        c.engine = text("engine", false);
        c.location = text("location", false);
        if (c.name.empty() || c.name.size() > 255)
            throw EXServerOptions("configuration file: a configuration name must have 1 to 255 characters");
        if (!names.insert(Upper(c.name)).second)
            throw EXServerOptions("configuration file: configuration " + c.name + " is listed twice");
        if (c.engine.empty())
            c.engine = "sqlite";
        if (c.engine != "sqlite" && c.engine != "postgres")
            throw EXServerOptions("configuration file: unknown engine " + c.engine + " of " + c.name);
        if (c.engine == "sqlite") {
            if (c.location.empty())
                c.location = c.name + ".db";
            c.location = ResolveSqlite(c.location, dataDir);
        } else if (c.location.empty()) {
            throw EXServerOptions("configuration file: " + c.name + " needs a location (a libpq conninfo)");
        }
        list.push_back(std::move(c));
    }
    if (list.empty())
        throw EXServerOptions("configuration file: no configurations");
    return list;
}

void LoadConfigurations(TXServerOptions& o) {
    if (o.configFile.empty()) {
        o.configurations = {{"SARVOLENTIS", "", "sqlite", ResolveSqlite("SARVOLENTIS.db", o.dataDir)}};
        return;
    }
    std::ifstream in(o.configFile, std::ios::binary);
    if (!in)
        throw EXServerOptions("cannot read the configuration file " + o.configFile);
    std::ostringstream text;
    text << in.rdbuf();
    o.configurations = ParseConfigurations(text.str(), o.dataDir);
}
