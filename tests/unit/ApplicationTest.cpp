// The application family against a recording set of services.
#include "host/Application.h"
#include "host/HostState.h"
#include "host/Session.h"
#include "tests/support/ScriptHarness.h"

#include <gtest/gtest.h>

using namespace ruk;
using ruk::test::ScriptHarness;

namespace {

struct RecordingServices : ApplicationServices {
    Engine* engine = nullptr;
    int sequences = 0;
    std::string title, parameters;
    bool hidden = false;
    void terminate_sequence() override
    {
        ++sequences;
        engine->run_event("terminate", true, 0, true);
    }
    void set_title(const std::string& t) override { title = t; }
    bool set_icon(const std::string& path) override { return path == "exists.ico"; }
    void minimize() override {}
    void restore() override {}
    int start_engine(const std::string& p, bool h) override
    {
        parameters = p;
        hidden = h;
        return 42;
    }
    int count_instances(const std::string& id) override { return id == "MINE" ? 1 : 0; }
};

struct AppFamily : ::testing::Test {
    ScriptHarness h;
    HostState state;
    Session session;
    RecordingServices services;
    void SetUp() override
    {
        services.engine = &h.engine();
        session.header.package_id = "MINE";
        state.arguments = {"/pkgs/demo.ruk", "first", "second"};
        register_application_family(h.engine(), state, session, services);
    }
};

} // namespace

TEST_F(AppFamily, IdentityArgumentsAndTitle)
{
    ASSERT_TRUE(h.load(R"(
event.initialize()
    system.message(app.getparam() "|" app.getparam(2) "|" app.getparam(3) "|" application.getparam(13) "|")
    system.message("[" app.title("Demo") "] " app.title() " " app.countinstances() app.countinstances(OTHER))
    app.icon("missing.ico")
    app.icon("exists.ico")
    app.uninstall.bogus()
event.end()
)"));
    h.run();
    EXPECT_EQ(h.output(), "first|second|||\n[] Demo 10\n");
    EXPECT_EQ(services.title, "Demo");
    ASSERT_EQ(h.errors().size(), 2u);
    EXPECT_EQ(h.errors()[0], " cannot be found.");
    EXPECT_EQ(h.errors()[1], MsgUnknown);
}

TEST_F(AppFamily, CloseRunsTheSequenceAndEndsTheEventUnlessCancelled)
{
    ASSERT_TRUE(h.load(R"(
event.initialize()
    app.close(1)
    system.message("not reached")
event.end()
event.terminate()
    system.message("terminate")
    app.cancelclose(&cancel)
event.end()
)"));
    h.run();
    EXPECT_EQ(h.output(), "terminate\n");
    EXPECT_TRUE(session.keep_folder);
    EXPECT_EQ(services.sequences, 1);
    EXPECT_FALSE(state.cancel_close);
    // Cancelled: the event that closed still ends, later events run whole.
    h.engine().vars().assign("cancel", "1");
    h.clear_output();
    h.run();
    EXPECT_TRUE(state.cancel_close);
    EXPECT_EQ(h.output(), "terminate\n");
    ASSERT_TRUE(h.load("event.later()\n system.message(one)\n system.message(two)\nevent.end()\n"));
    h.run("later");
    EXPECT_EQ(h.output(), "terminate\none\ntwo\n");
}

TEST_F(AppFamily, ExecuteQuotesEveryParameter)
{
    ASSERT_TRUE(h.load("event.initialize()\n &r = app.execute.hidden(\"a.ruk\")\nevent.end()\n"));
    h.run();
    EXPECT_EQ(h.var("r"), "42");
    EXPECT_TRUE(services.hidden);
    EXPECT_EQ(services.parameters, "\"a.ruk\" \"\" \"\" \"\" \"\" \"\" \"\" \"\" \"\" \"\" \"\" \"\" \"\"");
    auto split = split_parameter_text(services.parameters);
    ASSERT_EQ(split.size(), 13u);
    EXPECT_EQ(split[0], "a.ruk");
    EXPECT_EQ(split[12], "");
}
