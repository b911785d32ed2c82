#pragma once
// Runs sarvolentis-admin (or another program) to its end and keeps what it wrote.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <string>
#include <vector>

struct TRun {
    int status = -1; // exit code; -1 when it crashed or did not finish
    std::string out, err;
};

inline TRun RunProgram(const QString& program, const std::vector<std::string>& args, int timeoutMs) {
    QProcess p;
    QStringList list;
    for (const auto& a : args)
        list << QString::fromStdString(a);
    p.start(program, list);
    TRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.err = "did not finish";
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

// sarvolentis-admin of the build under test (SV_BUILD_DIR).
inline TRun RunAdmin(const std::vector<std::string>& args, int timeoutMs) {
    const char* build = std::getenv("SV_BUILD_DIR");
    return RunProgram(QString::fromStdString(std::string(build ? build : ".") + "/admin/sarvolentis-admin"),
                      args, timeoutMs);
}
