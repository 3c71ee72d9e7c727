#pragma once

// A test fixture that starts a JACK server of the test's own before each test and stops it
// after; without jackd installed the test is skipped.

#include "JackTestRig.h"

#include <gtest/gtest.h>
#include <memory>

class OwnJackServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!jacktest::JackdInstalled())
            GTEST_SKIP() << "jackd is not installed (package jackd2)";
        server = std::make_unique<jacktest::Server>();
        ASSERT_TRUE(server->Running()) << "the test's own JACK server did not start";
    }

    std::unique_ptr<jacktest::Server> server;
};
