#include "admin/UXAdminSQL.h"

#include "admin/UXAdminArgs.h"
#include "admin/UXAdminDialogs.h"

#include "dataserver/UXDataClient.h"
#include "dataserver/UXSQLSessionGUI.h"
#include "dataserver/UXTCPClientPack.h"
#include "foundation/UCp1252.h"
#include "foundation/UXData.h"
#include "foundation/UXText.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <functional>
#include <ostream>

namespace {

constexpr const char* kProgram = "sarvolentis-admin";

bool ParseDouble(std::string_view s, double& v) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

// "yyyy-mm-dd", "yyyy-mm-dd hh:nn" or "yyyy-mm-dd hh:nn:ss" (a "T" may stand for the blank).
bool ParseDate(const std::string& s, double& day) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
    char sep = 0;
    int n = std::sscanf(s.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &y, &mo, &d, &sep, &h, &mi, &se);
    if (n != 3 && n != 6 && n != 7)
        return false;
    if (n > 3 && sep != ' ' && sep != 'T')
        return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || se > 59)
        return false;
    day = EncodeDateTime(y, mo, d, h, mi, se);
    return true;
}

std::string Two(int v) {
    return IntToStrZero(v, 2);
}

std::string FormatValue(const TXVariant& v, TXSQLStructDataType type, bool csv) {
    if (v.IsEmptyOrNull())
        return csv ? "" : "NULL";
    switch (type) {
    case sftInteger:
        return std::to_string(v.AsInt64());
    case sftCurrency: {
        const int64_t scaled = v.AsCurrencyScaled();
        const uint64_t a = scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
        return (scaled < 0 ? "-" : "") + std::to_string(a / 10000) + "." +
               IntToStrZero(int64_t(a % 10000), 4);
    }
    case sftFloat: {
        char buf[64];
        const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v.AsDouble());
        return ec == std::errc() ? std::string(buf, end) : v.AsString();
    }
    case sftDateTime: {
        int y, mo, d, h, mi, s, ms;
        DecodeDateTime(v.AsDouble(), y, mo, d, h, mi, s, ms);
        std::string r = IntToStrZero(y, 4) + "-" + Two(mo) + "-" + Two(d);
        if (h || mi || s || ms)
            r += " " + Two(h) + ":" + Two(mi) + ":" + Two(s);
        if (ms)
            r += "." + IntToStrZero(ms, 3);
        return r;
    }
    case sftBlob: {
        const std::string_view b = v.StringRef();
        if (!csv)
            return "(blob, " + std::to_string(b.size()) + " bytes)";
        static const char* hex = "0123456789abcdef";
        std::string r = "0x";
        r.reserve(2 + b.size() * 2);
        for (unsigned char c : b) {
            r += hex[c >> 4];
            r += hex[c & 15];
        }
        return r;
    }
    default:
        return Cp1252ToUtf8(v.AsString());
    }
}

// Display width of UTF-8 text: its code points.
size_t Width(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

std::string CsvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string r = "\"";
    for (char c : s) {
        if (c == '"')
            r += '"';
        r += c;
    }
    return r + "\"";
}

void PrintResult(TXSQL& q, bool csv, std::ostream& out) {
    const TXSQLStruct& st = q.Struct();
    const int cols = st.FieldCount();
    std::vector<std::vector<std::string>> cells(size_t(q.RecordCount()));
    for (int r = 0; r < q.RecordCount(); ++r)
        for (int c = 0; c < cols; ++c)
            cells[size_t(r)].push_back(
                FormatValue(q.FieldValueAt(r, st.Field(c).Name), st.Field(c).Type, csv));
    std::vector<std::string> names;
    for (int c = 0; c < cols; ++c)
        names.push_back(Cp1252ToUtf8(st.Field(c).Name));

    if (csv) {
        for (int c = 0; c < cols; ++c)
            out << (c ? "," : "") << CsvField(names[size_t(c)]);
        out << "\n";
        for (const auto& row : cells) {
            for (int c = 0; c < cols; ++c)
                out << (c ? "," : "") << CsvField(row[size_t(c)]);
            out << "\n";
        }
        return;
    }
    std::vector<size_t> widths(size_t(cols), 0);
    for (int c = 0; c < cols; ++c) {
        widths[size_t(c)] = Width(names[size_t(c)]);
        for (const auto& row : cells)
            widths[size_t(c)] = std::max(widths[size_t(c)], Width(row[size_t(c)]));
    }
    auto numeric = [&](int c) {
        const auto t = st.Field(c).Type;
        return t == sftInteger || t == sftCurrency || t == sftFloat;
    };
    auto line = [&](const std::vector<std::string>& v, bool header) {
        for (int c = 0; c < cols; ++c) {
            const std::string& s = v[size_t(c)];
            const std::string pad(widths[size_t(c)] - Width(s), ' ');
            out << (c ? " | " : " ");
            if (numeric(c) && !header)
                out << pad << s;
            else
                out << s << (c + 1 < cols ? pad : "");
        }
        out << "\n";
    };
    line(names, true);
    for (int c = 0; c < cols; ++c)
        out << (c ? "-+-" : "-") << std::string(widths[size_t(c)], '-');
    out << "-\n";
    for (const auto& row : cells)
        line(row, false);
    out << "(" << q.RecordCount() << (q.RecordCount() == 1 ? " row" : " rows") << ")\n";
}

bool IsQuery(const std::string& sql) {
    size_t i = 0;
    while (i < sql.size()) {
        if (std::isspace(static_cast<unsigned char>(sql[i]))) {
            ++i;
        } else if (sql.compare(i, 2, "--") == 0) {
            i = sql.find('\n', i);
        } else if (sql.compare(i, 2, "/*") == 0) {
            i = sql.find("*/", i);
            i = i == std::string::npos ? i : i + 2;
        } else if (sql[i] == '(') {
            ++i;
        } else {
            break;
        }
    }
    if (i >= sql.size())
        return false;
    const std::string word = UpperCase(sql.substr(i, 6));
    return word == "SELECT" || word.rfind("WITH", 0) == 0;
}

// Processes events until done() or until the deadline passes without progress (activity() changing).
bool Wait(const std::function<bool()>& done, int timeoutMs, const std::function<int64_t()>& activity = {}) {
    QElapsedTimer t;
    t.start();
    int64_t seen = activity ? activity() : 0;
    while (!done()) {
        if (activity && activity() != seen) {
            seen = activity();
            t.restart();
        }
        if (t.elapsed() > timeoutMs)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

} // namespace

std::string TXAdminSQL::Help() {
    return "usage: sarvolentis-admin sql [options] \"SQL\"\n"
           "Runs one statement on the data server through an SQL session.\n"
           "\n"
           "  --server HOST:PORT   data server (default 127.0.0.1:59504)\n"
           "  --cfg NAME           configuration (default SARVOLENTIS)\n"
           "  --password P         the configuration's password (default empty)\n"
           "  --csv                print a result as CSV (comma separated, RFC 4180 quoting)\n"
           "  --timeout SECONDS    give up when the server stays silent this long (default 60)\n"
           "  --param [T:]NAME=VALUE\n"
           "                       a value for :NAME in the statement; T is its type:\n"
           "                         S text (the default), I integer, C currency (4 decimals),\n"
           "                         E floating point, D date/time (yyyy-mm-dd [hh:nn[:ss]]),\n"
           "                         B blob (the bytes of VALUE)\n"
           "                       numbers use '.' as the decimal separator; an empty VALUE is NULL\n"
           "\n"
           "A statement that starts with SELECT or WITH prints its rows as a table (or CSV);\n"
           "any other statement prints OK when it completed. Text goes to the server as\n"
           "Windows-1252. On an error the server's text goes to stderr and the exit status is 1.\n"
           "\n"
           "example: sarvolentis-admin sql --server 127.0.0.1:59504 --param I:ID=5 \\\n"
           "           \"SELECT ID, NOME FROM CULTURA WHERE ID = :ID\"\n";
}

bool TXAdminSQL::Parse(const std::vector<std::string>& args, TXAdminSQLOptions& o, std::string& error,
                       bool& help) {
    help = false;
    bool haveSql = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            help = true;
            return true;
        } else if (a == "--server") {
            if (!value(v))
                return false;
            if (!ParseServerAddress(v, o.host, o.port, error))
                return false;
        } else if (a == "--cfg") {
            if (!value(o.cfg))
                return false;
        } else if (a == "--password") {
            if (!value(o.password))
                return false;
        } else if (a == "--csv") {
            o.csv = true;
        } else if (a == "--timeout") {
            int64_t s = 0;
            if (!value(v))
                return false;
            if (!ParseInt(v, s) || s < 1 || s > 86400) {
                error = "--timeout takes seconds, not " + v;
                return false;
            }
            o.timeoutMs = int(s * 1000);
        } else if (a == "--param") {
            if (!value(v))
                return false;
            TXAdminSQLParam p;
            if (v.size() > 2 && v[1] == ':') {
                p.prefix = char(std::toupper(static_cast<unsigned char>(v[0])));
                v = v.substr(2);
            }
            const size_t eq = v.find('=');
            if (std::string("SICEDB").find(p.prefix) == std::string::npos || eq == std::string::npos ||
                eq == 0) {
                error = "--param takes [T:]NAME=VALUE with T one of S I C E D B, not " + args[i];
                return false;
            }
            p.name = v.substr(0, eq);
            p.value = v.substr(eq + 1);
            o.params.push_back(std::move(p));
        } else if (a.rfind("--", 0) == 0) {
            error = "unknown option " + a;
            return false;
        } else if (haveSql) {
            error = "only one statement, in one argument";
            return false;
        } else {
            o.sql = a;
            haveSql = true;
        }
    }
    if (!haveSql || Trim(o.sql).empty()) {
        error = "no statement given";
        return false;
    }
    return true;
}

int TXAdminSQL::Run(const TXAdminSQLOptions& o, std::ostream& out, std::ostream& err) {
    auto fail = [&](const std::string& text) {
        err << kProgram << ": " << text << "\n";
        return 1;
    };
    TXAdminDialogs dialogs(err);
    TXDialogServiceScope scope(dialogs);

    TXTCPClientPack pack;
    TXDataClient dc;
    dc.SetTCPClientPack(&pack);
    dc.DefaultCFG = o.cfg;
    bool gotId = false, lost = false;
    std::string connectError, serverError;
    pack.OnIDReceived = [&] { gotId = true; };
    pack.OnConnectError = [&](const std::string& m) { connectError = m.empty() ? "connection refused" : m; };
    pack.OnDisconnect = [&] { lost = true; };
    dc.OnErrorMessage = [&](const std::string& code, TXData& d) {
        std::string text = code;
        try {
            while (!d.AtEnd())
                text += " " + Cp1252ToUtf8(GetS(d));
        } catch (const std::exception&) {
        }
        serverError = "server error " + text;
    };
    auto broken = [&] { return !connectError.empty() || lost || !serverError.empty() || dialogs.Failed; };
    auto brokenText = [&] {
        if (!connectError.empty())
            return "cannot connect to " + o.host + ":" + std::to_string(o.port) + " (error " + connectError +
                   ")";
        if (!serverError.empty())
            return serverError;
        if (lost)
            return std::string("connection to the data server lost");
        return std::string("the data server refused the session");
    };

    pack.IP = o.host;
    pack.Port = o.port;
    pack.Activate(-1);
    if (!Wait([&] { return gotId || broken(); }, o.timeoutMs) || !gotId)
        return fail(broken() ? brokenText() : "no answer from " + o.host + ":" + std::to_string(o.port));

    int checks = 0;
    bool loggedIn = false;
    dc.OnAuthCheck = [&](const std::string&, bool ok, int32_t) {
        ++checks;
        loggedIn = ok;
    };
    dc.CheckCFG(Utf8ToCp1252(o.password), Utf8ToCp1252(o.cfg));
    if (!Wait([&] { return checks > 0 || broken(); }, o.timeoutMs) || broken())
        return fail(broken() ? brokenText() : "no answer to the login");
    if (!loggedIn)
        return fail("login to configuration " + o.cfg + " refused");

    TXSQLSessionGUI session;
    session.DC = &dc;
    session.OP = "geral";
    session.CFG = Utf8ToCp1252(o.cfg);
    std::string createError, sqlError;
    bool done = false;
    int64_t activity = 0;
    session.OnCreateError = [&](TXSQLSessionGUI&, const std::string& e) { createError = e; };
    session.OnSQLError = [&](TXSQLSessionGUI&, const std::string&, const std::string& e) {
        sqlError = e.empty() ? "SQL error" : e;
    };
    session.OnCommand = [&](TXSQLSessionGUI&, const std::string&) { done = true; };
    session.OnSelect = [&](TXSQLSessionGUI&, const std::string&, TXSQL&) { done = true; };
    session.OnFetch = [&](TXSQLSessionGUI&, const std::string&, TXSQL&, int32_t, int32_t, bool&) {
        ++activity;
    };
    session.Loaded();
    if (!Wait([&] { return session.Ready() || !createError.empty() || broken(); }, o.timeoutMs) ||
        !session.Ready())
        return fail(!createError.empty() ? "cannot open a session: " + Cp1252ToUtf8(createError)
                    : broken()           ? brokenText()
                                         : "no answer to the session request");

    TXSQL& sql = session.SQL();
    sql.SQLText = Utf8ToCp1252(o.sql);
    for (const auto& p : o.params) {
        const std::string name = Utf8ToCp1252(p.name);
        if (p.value.empty()) {
            sql.ParamString(name, TXVariant::Null());
            continue;
        }
        int64_t i = 0;
        double d = 0;
        switch (p.prefix) {
        case 'I':
            if (!ParseInt(p.value, i))
                return fail("--param I:" + p.name + ": not an integer: " + p.value);
            sql.ParamInteger(name, i);
            break;
        case 'C':
            if (!ParseDouble(p.value, d))
                return fail("--param C:" + p.name + ": not a number: " + p.value);
            sql.ParamCurrency(name, TXVariant::FromCurrency(d));
            break;
        case 'E':
            if (!ParseDouble(p.value, d))
                return fail("--param E:" + p.name + ": not a number: " + p.value);
            sql.ParamFloat(name, d);
            break;
        case 'D':
            if (!ParseDate(p.value, d))
                return fail("--param D:" + p.name + ": not a date (yyyy-mm-dd [hh:nn[:ss]]): " + p.value);
            sql.ParamDateTime(name, TXVariant::FromDate(d));
            break;
        case 'B':
            sql.ParamBlob(name, TXVariant::FromString(p.value));
            break;
        default:
            sql.ParamString(name, Utf8ToCp1252(p.value));
            break;
        }
    }
    const bool query = IsQuery(o.sql);
    const std::string id = "admin";
    if (query)
        session.Select(id);
    else
        session.Command(id);
    if (!Wait([&] { return done || !sqlError.empty() || broken(); }, o.timeoutMs, [&] { return activity; }))
        return fail("no answer to the statement");
    if (!sqlError.empty()) {
        err << Cp1252ToUtf8(sqlError) << "\n";
        return 1;
    }
    if (!done)
        return fail(brokenText());
    if (query) {
        TXSQL* q = session.FindSQL(id);
        if (!q)
            return fail("the result was lost");
        PrintResult(*q, o.csv, out);
    } else {
        out << "OK\n";
    }
    out.flush();
    session.Release();
    // Let the FREE go out before the connection closes.
    Wait([] { return false; }, 0);
    return 0;
}
