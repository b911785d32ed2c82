#pragma once
// A test suite whose peers start once, before its first test, and stop after its last one.

#include <gtest/gtest.h>

// TPeers starts the peers in its constructor and stops them in its destructor; shared is the
// program's pointer to them, which the tests and their helpers read.
template <class TPeers, TPeers*& shared>
class SharedPeersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!shared)
            shared = new TPeers();
    }
    static void TearDownTestSuite() {
        delete shared;
        shared = nullptr;
    }
};
