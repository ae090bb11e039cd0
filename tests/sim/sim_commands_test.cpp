// The command table: what a command line means, what is wrong with one that means nothing, the
// usage text made from the table, and the running simulator's refusals.
#include "sim/sim_commands.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/clock.h"
#include "sim/mouse_model.h"
#include "sim/sim_server.h"
#include "tests/sim/sim_process.h"
#include "tests/test_support.h"

namespace orv::sim {
namespace {

TEST(SimCommands, TheTableHoldsEveryCommandOnceAndTheUsageShowsEach) {
  std::set<std::string> names;
  for (const SimCommand& command : Commands()) {
    EXPECT_TRUE(names.insert(command.name).second) << command.name << " twice";
    EXPECT_NE(std::string(command.help), "") << command.name;
  }
  EXPECT_EQ(names, (std::set<std::string>{"serve", "press", "release", "plug", "unplug", "remove", "fail", "state",
                                          "transcript", "quit", "help"}));
  const std::string usage = CommandUsage("OrvMouseSim");
  for (const char* synopsis :
       {"\n  serve [--absent] [--memory UNITS] [--firmware WORD]\n", "\n  press ID\n", "\n  release ID\n", "\n  plug\n",
        "\n  unplug\n", "\n  remove\n", "\n  fail CODE [ERROR]\n", "\n  state\n", "\n  transcript\n", "\n  quit\n",
        "\n  help\n"}) {
    EXPECT_NE(usage.find(synopsis), std::string::npos) << synopsis << "in\n" << usage;
  }
  EXPECT_EQ(usage.rfind("usage: OrvMouseSim", 0), 0u);
}

TEST(SimCommands, AWellFormedLineGivesItsNumbers) {
  CommandLine line;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"fail", "0x222540"}, line, error)) << error;
  EXPECT_STREQ(line.command->name, "fail");
  EXPECT_EQ(line.Value("CODE"), 0x222540u);
  EXPECT_FALSE(line.Given("ERROR"));
  EXPECT_EQ(line.Value("ERROR", 31), 31u);

  ASSERT_TRUE(ParseCommandLine({"fail", "2237760", "0X57"}, line, error)) << error;
  EXPECT_EQ(line.Value("CODE"), 0x222540u);
  EXPECT_EQ(line.Value("ERROR", 31), 87u);

  ASSERT_TRUE(ParseCommandLine({"serve", "--firmware", "0x0204", "--absent"}, line, error)) << error;
  EXPECT_TRUE(line.Given("--absent"));
  EXPECT_FALSE(line.Given("--memory"));
  EXPECT_EQ(line.Value("--memory", 16), 16u);
  EXPECT_EQ(line.Value("--firmware"), 0x0204u);

  ASSERT_TRUE(ParseCommandLine({"press", "1041"}, line, error)) << error;
  EXPECT_EQ(line.Value("ID"), 1041u);
  EXPECT_FALSE(line.Given("CODE"));  // not an argument of press
  ASSERT_TRUE(ParseCommandLine({"quit"}, line, error)) << error;
  EXPECT_STREQ(line.command->name, "quit");
}

TEST(SimCommands, AMalformedLineSaysWhatIsWrong) {
  struct Case {
    std::vector<std::string> words;
    const char* error;  // the first line of what is said
    const char* usage;  // the usage line that follows, if any
  };
  const Case cases[] = {
      {{}, "no command given; the commands are serve, press,", nullptr},
      {{"bogus"}, "unknown command \"bogus\"; the commands are serve, press,", nullptr},
      {{"Press", "1"}, "unknown command \"Press\"", nullptr},
      {{"press"}, "press: ID is missing (a button id, standard 0-5 or extra 1024-1041)", "press ID"},
      {{"release", "x"}, "release: ID \"x\" is not a number (decimal, or hexadecimal after 0x)", "release ID"},
      {{"press", "-1"}, "press: ID \"-1\" is not a number", "press ID"},
      {{"press", "99999999999"}, "press: ID \"99999999999\" is out of range 0-2147483647", "press ID"},
      {{"press", "1", "2"}, "press: \"2\" is one argument too many", "press ID"},
      {{"state", "now"}, "state: takes no arguments, \"now\" is one too many", "state"},
      {{"plug", "twice"}, "plug: takes no arguments, \"twice\" is one too many", "plug"},
      {{"fail"}, "fail: CODE is missing", "fail CODE [ERROR]"},
      {{"fail", "0x222540", "0"}, "fail: ERROR \"0\" is out of range 1-4294967295", "fail CODE [ERROR]"},
      {{"fail", "0x222540", "zz"}, "fail: ERROR \"zz\" is not a number", "fail CODE [ERROR]"},
      {{"fail", "0x1FFFFFFFF"}, "fail: CODE \"0x1FFFFFFFF\" is out of range 0-4294967295", "fail CODE [ERROR]"},
      {{"serve", "--memory"}, "serve: --memory needs UNITS", "serve [--absent] [--memory UNITS] [--firmware WORD]"},
      {{"serve", "--memory", "256"}, "serve: --memory UNITS \"256\" is out of range 0-255", "serve [--absent]"},
      {{"serve", "--firmware", "0"}, "serve: --firmware WORD \"0\" is out of range 1-65535", "serve [--absent]"},
      {{"serve", "--absent", "--absent"}, "serve: --absent is given twice", "serve [--absent]"},
      {{"serve", "--verbose"}, "serve: unknown option \"--verbose\"", "serve [--absent]"},
      {{"serve", "4"}, "serve: \"4\" is one argument too many", "serve [--absent]"},
      {{"press", "--absent"}, "press: unknown option \"--absent\"", "press ID"},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& w : c.words) joined += w + " ";
    SCOPED_TRACE(joined);
    CommandLine line;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(c.words, line, error));
    EXPECT_EQ(line.command, nullptr);
    const std::string first = error.substr(0, error.find('\n'));
    EXPECT_EQ(first.rfind(c.error, 0), 0u) << error;
    if (c.usage) {
      const size_t at = error.find("\nusage: ");
      ASSERT_NE(at, std::string::npos) << error;
      EXPECT_EQ(error.compare(at + 8, std::string(c.usage).size(), c.usage), 0) << error;
    }
  }
}

TEST(SimCommands, TheRunningSimulatorRefusesWhatItCannotDoAndCarriesOutTheRest) {
  test::TempDir dir;
  VirtualClock clock;
  MouseModel model(clock);
  SimServer server(model, dir / "device", dir / "control");  // not started: no sockets
  struct Case {
    const char* line;
    int status;
    const char* text;  // how the answer starts
  };
  const Case cases[] = {
      {"", 1, "no command given"},
      {"   \t ", 1, "no command given"},
      {"serve --absent", 1, "serve: not a command for a running simulator"},
      {"help", 1, "help: not a command for a running simulator"},
      {"press", 1, "press: ID is missing"},
      {"press 6", 1, "unknown button id 6 (standard 0-5 or extra 1024-1041)"},
      {"fail 0x1", 1, "fail: unknown IOCTL code 0x00000001"},
      {"fail 0x222540 87", 0, "next IOCTL_SET_DPI_STEP fails with error 87"},
      {"fail\t0x222540", 0, "next IOCTL_SET_DPI_STEP fails with error 31"},
      {"press 1", 0, "passthrough id=1 down"},  // nobody registered: the system gets it
      {"press 1", 0, "unchanged: button 1 is already down"},
      {"press 0x401", 0, "dropped: no client is registered"},
      {"unplug", 1, "the device is absent"},
      {"remove", 0, "device already absent"},
      {"state", 0, "{\"present\":false,\"client\":false,\"plugged\":true,"},
      {"quit", 0, "bye"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const CommandReply reply = server.Execute(c.line);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.text.rfind(c.text, 0), 0u) << reply.text;
  }
  const uint8_t step = 2;
  EXPECT_EQ(model.Ioctl(IOCTL_SET_DPI_STEP, &step, 1, 0).error, 87u);  // armed by the command
  EXPECT_EQ(model.Ioctl(IOCTL_SET_DPI_STEP, &step, 1, 0).error, 31u);
  EXPECT_TRUE(model.Ioctl(IOCTL_SET_DPI_STEP, &step, 1, 0).ok);
}

TEST(SimCommands, TheCommandLineChecksACommandBeforeLookingForASimulator) {
  test::TempDir dir;  // no simulator runs here
  test::RunResult r = test::RunSim(dir.path(), {"fail", "0x222540", "0"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("OrvMouseSim: fail: ERROR \"0\" is out of range"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("usage: fail CODE [ERROR]"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("no simulator"), std::string::npos) << r.err;

  r = test::RunSim(dir.path(), {"transcript"});  // well formed: now the simulator is missed
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no simulator is running"), std::string::npos) << r.err;

  for (const std::vector<std::string>& help : {std::vector<std::string>{"help"}, {"--help"}, {"serve", "--help"}}) {
    r = test::RunSim(dir.path(), help);
    EXPECT_EQ(r.status, 0) << help.back();
    EXPECT_EQ(r.out, CommandUsage("OrvMouseSim")) << help.back();
  }
  r = test::RunSim(dir.path(), {"--memory", "999"});  // options alone mean serve
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("serve: --memory UNITS \"999\" is out of range 0-255"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace orv::sim
