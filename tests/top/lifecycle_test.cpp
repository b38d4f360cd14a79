// Lifecycle pieces: threads and timers, COMMAND$, the working directories and the CHAIN hand-over.
#include <gtest/gtest.h>
#include <libgen.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/ground/conventional_memory.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/program_settings.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/ground/threads.h"
#include "runtime/ground/timers.h"
#include "runtime/top/chain.h"
#include "runtime/top/startup.h"
#include "runtime/values/strings.h"
#include "support/runtime_strings.h"

namespace {

std::string cwd() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) ? buffer : "";
}

std::string joined(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  int argc = static_cast<int>(argv.size());
  int64_t length = command_line_join(argc, argv.data(), nullptr, 0);
  std::string out(static_cast<size_t>(length), '\0');
  EXPECT_EQ(command_line_join(argc, argv.data(), &out[0], length), length);
  return out;
}

TEST(CommandLine, JoinsArgumentsAfterTheProgramName) {
  EXPECT_EQ(joined({"prog"}), "");
  EXPECT_EQ(joined({"prog", "a"}), "a");
  EXPECT_EQ(joined({"prog", "a", "b c"}), "a b c");
  EXPECT_EQ(joined({"prog", "", "x"}), " x");
  EXPECT_EQ(command_line_join(0, nullptr, nullptr, 0), 0);
}

TEST(CommandLine, JoinNeverWritesPastCapacity) {
  std::string a0 = "p", a1 = "hello", a2 = "world";
  char* argv[] = {&a0[0], &a1[0], &a2[0]};
  char out[6] = {'#', '#', '#', '#', '#', '#'};
  EXPECT_EQ(command_line_join(3, argv, out, 4), 11);
  EXPECT_EQ(std::string(out, 6), "hell##");
}

TEST(CommandLine, StartupKeepsArgumentsAndText) {
  strings_ready();
  std::string a0 = "/x/prog", a1 = "a", a2 = "b c";
  char* argv[] = {&a0[0], &a1[0], &a2[0], nullptr};
  command_line_startup(3, argv);
  EXPECT_EQ(text_of(command_line), "a b c");
  EXPECT_EQ(argument_count, 3);
  EXPECT_EQ(argument_vector, argv);
  command_line_startup(1, argv);
  EXPECT_EQ(text_of(command_line), "");
}

TEST(Directories, CurrentDirectoryAndStartDirectory) {
  strings_ready();
  std::string before = cwd();
  uint32_t mark = temp_count;
  EXPECT_EQ(text_of(get_current_directory()), before);
  string_release_temporaries(mark, 0);
  start_directory_startup();
  EXPECT_EQ(text_of(start_directory), before);
}

TEST(Directories, MovesToTheExecutablesFolder) {
  strings_ready();
  std::string before = cwd();
  ASSERT_EQ(chdir("/"), 0);
  start_directory_startup();
  change_to_executable_folder();
  char exe[4096] = {0};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  EXPECT_EQ(cwd(), std::string(dirname(exe)));
  EXPECT_EQ(text_of(start_directory), "/");
  ASSERT_EQ(chdir(before.c_str()), 0);
}

TEST(Threads, StartThreadRunsTheFunctionWithItsArgument) {
  static std::atomic<int> seen{0};
  seen = 0;
  uint64_t handle = 0;
  int value = 41;
  start_thread(
      &handle,
      [](void* argument) -> void* {
        seen = *static_cast<int*>(argument) + 1;
        return nullptr;
      },
      &value);
  for (int i = 0; i < 1000 && seen == 0; ++i) sleep_ms(5);
  EXPECT_EQ(seen.load(), 42);
  EXPECT_NE(handle, 0u);
  sleep_ms(0);  // a plain yield returns
}

TEST(Timers, ScanStartsThenFiresAndSkipsMissedPeriods) {
  event_pending = 0;
  timer_slot& slot = timer_table.load()[0];
  slot.in_use = 1;
  slot.armed = 1;
  slot.active = 1;
  slot.pending = 0;
  slot.interval = 2.0;
  slot.last = 0;
  timer_scan(100.0);
  EXPECT_EQ(slot.last.load(), 100.0);  // first start only
  EXPECT_EQ(slot.pending.load(), 0);
  timer_scan(101.0);
  EXPECT_EQ(slot.pending.load(), 0);  // interval not yet over
  timer_scan(102.5);
  EXPECT_EQ(slot.pending.load(), 1);
  EXPECT_EQ(slot.last.load(), 102.0);
  EXPECT_EQ(event_pending.load(), 1);
  timer_scan(200.0);  // pending slots are left alone
  EXPECT_EQ(slot.last.load(), 102.0);
  slot.pending = 0;
  timer_scan(200.0);  // many periods missed: one event, the period restarts now
  EXPECT_EQ(slot.pending.load(), 1);
  EXPECT_EQ(slot.last.load(), 200.0);
  slot.pending = 0;
  slot.active = 0;
  timer_scan(300.0);
  EXPECT_EQ(slot.pending.load(), 0);
  slot.armed = 0;
  event_pending = 0;
}

// The event timer thread, with nothing else waking it, marks each armed timer due on its
// own schedule: never before its interval is over, and with the period counted from the
// timer's start, not from when the thread happened to look.
TEST(Timers, TimerThreadMarksEachTimerDueOnItsSchedule) {
  const double intervals[] = {0.2, 0.3, 0.5};
  const int32_t count = 3;
  if (timer_slot_count.load() < count) timer_table_grow(count);
  timer_slot* slots = timer_table.load();
  for (int32_t i = 0; i < count; ++i) {
    slots[i].in_use = 1;
    slots[i].active = 1;
    slots[i].pending = timer_event_idle;
    slots[i].interval = intervals[i];
    slots[i].last = 0;
    slots[i].armed = 1;
  }
  event_pending = 0;
  start_thread(nullptr, event_timer_thread_main, nullptr);
  double started[count], seen[count];
  for (int32_t i = 0; i < count; ++i) {
    // Bounded waits, only so that a fault fails instead of hanging.
    for (int n = 0; n < 20000 && slots[i].last.load() == 0; ++n) sleep_ms(1);
    started[i] = slots[i].last.load();
  }
  for (int32_t i = 0; i < count; ++i) {
    for (int n = 0; n < 20000 && slots[i].pending.load() != timer_event_due; ++n) sleep_ms(1);
    seen[i] = 0.001 * static_cast<double>(monotonic_ms());
  }
  for (int32_t i = 0; i < count; ++i) {
    SCOPED_TRACE(::testing::Message() << "interval " << intervals[i]);
    ASSERT_EQ(slots[i].pending.load(), timer_event_due);
    EXPECT_GE(seen[i], started[i] + intervals[i]);
    EXPECT_EQ(slots[i].last.load(), started[i] + intervals[i]);
    slots[i].armed = 0;
    slots[i].pending = timer_event_idle;
  }
  EXPECT_EQ(event_pending.load(), 1);
  // Ends the thread as shutdown does.
  stop_all = 1;
  timers_changed();
  for (int n = 0; n < 20000 && !(threads_done.load() & timer_thread_ended); ++n) sleep_ms(1);
  EXPECT_TRUE(threads_done.load() & timer_thread_ended);
  stop_all = 0;
  threads_done = 0;
  event_pending = 0;
}

TEST(Timers, GrowingKeepsTheSlots) {
  timer_slot& slot = timer_table.load()[0];
  slot.in_use = 1;
  slot.interval = 3.5;
  slot.armed = 4;
  int32_t before = timer_slot_count.load();
  timer_table_grow(before + 3);
  EXPECT_EQ(timer_slot_count.load(), before + 3);
  EXPECT_EQ(timer_table.load()[0].interval.load(), 3.5);
  EXPECT_EQ(timer_table.load()[0].armed.load(), 4);
  EXPECT_EQ(timer_table.load()[before + 2].in_use.load(), 0);
  EXPECT_EQ(timer_table_state.state.load(), handshake_idle);
  timer_table.load()[0].armed = 0;
}

// ---- CHAIN hand-over ------------------------------------------------------------------------

class ChainHandover : public ::testing::Test {
 protected:
  void SetUp() override {
    strings_ready();
    home = cwd();
    char pattern[] = "/tmp/chain_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    ASSERT_EQ(chdir(folder.c_str()), 0);
    pending_error = 0;
  }
  void TearDown() override {
    ASSERT_EQ(chdir(home.c_str()), 0);
    std::string command = "rm -rf '" + folder + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  void set_command_line(const std::string& text) {
    rt_string* value = string_new(static_cast<int32_t>(text.size()), true);
    std::memcpy(value->chars, text.data(), text.size());
    if (!command_line) command_line = string_new(0, false);
    string_assign(command_line, value);
  }
  static void put_u32(std::string* out, uint32_t v) { out->append(reinterpret_cast<const char*>(&v), 4); }
  void write_file(const std::string& name, const std::string& bytes) {
    FILE* f = std::fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  static bool exists(const std::string& name) { return access(name.c_str(), F_OK) == 0; }

  std::string home, folder;
};

TEST_F(ChainHandover, TmpEndingWithoutTheTagOpensNothing) {
  write_file("chain123.tmp", "garbage");
  const std::string line = "argument list ending in chain123.tmp";
  set_command_line(line);
  EXPECT_FALSE(chain_handover_named(command_line));
  chain_handover();
  EXPECT_EQ(text_of(command_line), line);
  EXPECT_TRUE(exists("chain123.tmp"));
  EXPECT_EQ(cwd(), folder);
}

TEST_F(ChainHandover, ShortCommandLinesAreLeftAlone) {
  set_command_line("x.tmp");
  chain_handover();
  EXPECT_EQ(text_of(command_line), "x.tmp");
}

TEST_F(ChainHandover, ValidFileChangesDirectoryAndDropsTheTag) {
  std::string sub = folder + "/sub";
  ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
  std::string bytes;
  put_u32(&bytes, 1);
  put_u32(&bytes, static_cast<uint32_t>(sub.size()));
  bytes += sub;
  put_u32(&bytes, 999);  // no screen records
  write_file("chain001.tmp", bytes);
  set_command_line(std::string("a b ") + chain_tag + "chain001.tmp");
  ASSERT_TRUE(chain_handover_named(command_line));
  chain_handover();
  EXPECT_EQ(text_of(command_line), "a b");
  EXPECT_EQ(cwd(), sub);
  EXPECT_FALSE(exists(folder + "/chain001.tmp"));
  EXPECT_EQ(pending_error, 0u);
}

TEST_F(ChainHandover, OnlyTheTagLeavesAnEmptyCommandLine) {
  std::string bytes;
  put_u32(&bytes, 0);
  put_u32(&bytes, 0);
  write_file("chain002.tmp", bytes);
  set_command_line(std::string(chain_tag) + "chain002.tmp");
  chain_handover();
  EXPECT_EQ(text_of(command_line), "");
  EXPECT_EQ(cwd(), folder);
}

TEST_F(ChainHandover, DamagedFilesStopSafely) {
  std::vector<std::string> files;
  files.push_back("");                         // empty
  files.push_back(std::string("\1\0\0", 3));   // truncated first word
  {
    std::string b;
    put_u32(&b, 0);
    put_u32(&b, 0xFFFFFFFFu);  // absurd directory length
    b += "/";
    files.push_back(b);
  }
  {
    std::string b;
    put_u32(&b, 0);
    put_u32(&b, 4000);  // longer than the file
    b += "/tmp";
    files.push_back(b);
  }
  {
    std::string b;
    put_u32(&b, 0);
    put_u32(&b, 4);
    b += "/nonexistent-dir";  // directory text cut short; the rest reads as records
    files.push_back(b);
  }
  {
    std::string b;
    put_u32(&b, 0);
    put_u32(&b, 0);
    put_u32(&b, 256);  // screen mode record cut off
    b += "\0\0";
    files.push_back(b);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    write_file("chain003.tmp", files[i]);
    set_command_line(std::string("q ") + chain_tag + "chain003.tmp");
    chain_handover();
    EXPECT_EQ(text_of(command_line), "q") << i;
    EXPECT_EQ(cwd(), folder) << i;
    EXPECT_FALSE(exists("chain003.tmp")) << i;
    EXPECT_EQ(pending_error, 0u) << i;
    pending_error = 0;
  }
}

TEST_F(ChainHandover, MissingFileStillDropsTheTag) {
  set_command_line(std::string("z ") + chain_tag + "chain404.tmp");
  chain_handover();
  EXPECT_EQ(text_of(command_line), "z");
}

}  // namespace
