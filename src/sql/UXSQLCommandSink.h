#pragma once
// What generated write-back commands need from a session component: the statement being built and a
// way to send it as a command. The session component implements it.

#include <string>

class TXSQL;

class TXSQLCommandSink {
public:
    virtual ~TXSQLCommandSink() = default;
    // The statement being built; after Command a fresh one takes its place.
    virtual TXSQL& SQL() = 0;
    // Sends SQL() as a COMMAND; an empty id lets the component name it.
    virtual void Command(const std::string& id) = 0;
};
