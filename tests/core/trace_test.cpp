#include "trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/trace-test-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        home_ = templ;
        setenv("BRIMLET_HOME", home_.c_str(), 1);
    }
    void TearDown() override { std::system(("rm -rf '" + home_ + "'").c_str()); }
    std::string Trace() const {
        std::ifstream in(home_ + "/Trece.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string home_;
};

TEST_F(TraceTest, StartAndEndAppendTwoLinesEach) {
    { TLocalInit program; }
    { TLocalInit again; }
    EXPECT_EQ(Trace(), "TLocalInit >>\nTLocalInit <<\n~TLocalInit >>\n~TLocalInit <<\n"
                       "TLocalInit >>\nTLocalInit <<\n~TLocalInit >>\n~TLocalInit <<\n");
}

TEST_F(TraceTest, NestedScopesAreIndented) {
    {
        TTraceScope outer("A");
        TTraceScope inner("B");
    }
    EXPECT_EQ(Trace(), "A >>\n B >>\n B <<\nA <<\n");
}

TEST_F(TraceTest, UnwritableFileIsSkipped) {
    setenv("BRIMLET_HOME", "/proc/no-such-folder", 1);
    EXPECT_NO_THROW({ TLocalInit program; });
}

} // namespace
