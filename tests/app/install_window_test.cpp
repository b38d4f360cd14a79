// The calculator as installed, into a temporary prefix and from its Debian package: its files, its window's identity, a run.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/window_fixture.h"

#include <X11/Xatom.h>  // after GoogleTest: Xlib's macros clash with gtest's names
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// What an install puts in place, relative to the prefix.
const char* const installed_files[] = {
    "bin/brightness",
    "bin/brightness-curve",
    "share/man/man1/brightness-curve.1.gz",
    "share/bash-completion/completions/brightness-curve",
    "share/applications/brightness.desktop",
    "share/metainfo/brightness.metainfo.xml",
    "share/icons/hicolor/scalable/apps/brightness.svg",
    "share/icons/hicolor/64x64/apps/brightness.png",
    "share/man/man1/brightness.1.gz",
    "share/doc/brightness/copyright",
    "share/doc/brightness/changelog.gz",
};

struct command_result {
  int status;
  std::string output;  // standard output and standard error together
};

command_result shell(const std::string& command) {
  command_result result{-1, ""};
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string fresh_directory(const std::string& stem) {
  std::string path = temp_path(stem);
  EXPECT_EQ(mkdir(path.c_str(), 0700), 0) << path;
  return path;
}

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

std::vector<unsigned long> cardinals(Display* display, Window window, const char* name) {
  std::vector<unsigned long> items;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1 << 20, False, XA_CARDINAL, &type,
                         &format, &count, &after, &data) == Success &&
      data) {
    if (type == XA_CARDINAL && format == 32)
      items.assign(reinterpret_cast<unsigned long*>(data), reinterpret_cast<unsigned long*>(data) + count);
    XFree(data);
  }
  return items;
}

class installed : public window_fixture {
 protected:
  void run_installed(const std::string& program);
};

// Starts the installed program from a folder other than its own, checks what its window
// tells the desktop, answers 550, reads 84.12 and ends it with a key.
void installed::run_installed(const std::string& program) {
  // The test stands in for a window manager until the program's first map: the map then
  // arrives here as a request, and the identity must already be on the window.
  Window root = DefaultRootWindow(display);
  XSelectInput(display, root, SubstructureRedirectMask);
  XSync(display, False);
  program_io io;
  io.working_directory = fresh_directory("elsewhere");
  ASSERT_NO_FATAL_FAILURE(start_process(program, {}, io));
  for (int waited = 0; !window && waited < timeout_ms;) {
    if (!XPending(display)) {
      usleep(10000);
      waited += 10;
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == ConfigureRequest) {
      XWindowChanges changes{event.xconfigurerequest.x, event.xconfigurerequest.y, event.xconfigurerequest.width,
                             event.xconfigurerequest.height, event.xconfigurerequest.border_width,
                             event.xconfigurerequest.above, event.xconfigurerequest.detail};
      XConfigureWindow(display, event.xconfigurerequest.window,
                       static_cast<unsigned>(event.xconfigurerequest.value_mask), &changes);
    } else if (event.type == MapRequest) {
      window = event.xmaprequest.window;
    }
  }
  ASSERT_NE(window, 0ul) << "the installed program never mapped a window";

  XClassHint class_hint;
  ASSERT_TRUE(XGetClassHint(display, window, &class_hint));
  EXPECT_STREQ(class_hint.res_name, "brightness");
  EXPECT_STREQ(class_hint.res_class, "Brightness");
  XFree(class_hint.res_name);
  XFree(class_hint.res_class);
  EXPECT_EQ(cardinals(display, window, "_NET_WM_PID"), std::vector<unsigned long>{static_cast<unsigned long>(pid)});
  std::vector<unsigned long> icon = cardinals(display, window, "_NET_WM_ICON");
  ASSERT_GE(icon.size(), 2u + 64 * 64);
  EXPECT_EQ(icon[0], 64u);
  EXPECT_EQ(icon[1], 64u);
  EXPECT_EQ(x_window_title(display, window), "Untitled");
  XSelectInput(display, root, NoEventMask);
  XMapWindow(display, window);
  XSync(display, False);

  auto shows = [&](int row, const std::string& text) {
    return wait_until([&](const screen_text& s) { return s.lines[row].find(text) != std::string::npos; });
  };
  EXPECT_TRUE(shows(5, "[nm]")) << screen.text();
  x_focus(display, window);
  x_type_text(display, "550\n");
  EXPECT_TRUE(shows(7, "Helligkeit Vollstfarbe:  84.12")) << screen.text();
  EXPECT_TRUE(shows(24, "Press any key to continue")) << screen.text();
  press(window, XK_space);
  EXPECT_EQ(exit_status(), 0);
  shell("rm -rf '" + io.working_directory + "'");
}

TEST_F(installed, RunsFromATemporaryPrefix) {
  std::string prefix = fresh_directory("prefix");
  command_result install = shell(std::string(CMAKE_EXE) + " --install " BUILD_DIR " --prefix '" + prefix + "'");
  ASSERT_EQ(install.status, 0) << install.output;
  for (const char* file : installed_files) EXPECT_TRUE(exists(prefix + "/" + file)) << file;
  run_installed(prefix + "/bin/brightness");
  EXPECT_EQ(run_program(prefix + "/bin/brightness-curve", {"550"}).out, "550\t84.120\n");
  shell("rm -rf '" + prefix + "'");
}

TEST_F(installed, DebianPackageHasItsFilesAndDependsPassesLintianAndRuns) {
  command_result build = shell(std::string(CMAKE_EXE) + " --build " BUILD_DIR " --target package");
  ASSERT_EQ(build.status, 0) << build.output;

  command_result info = shell("dpkg-deb --info " DEB_PACKAGE_FILE);
  ASSERT_EQ(info.status, 0) << info.output;
  size_t depends_at = info.output.find(" Depends: ");
  ASSERT_NE(depends_at, std::string::npos) << info.output;
  std::string depends = info.output.substr(depends_at, info.output.find('\n', depends_at) - depends_at);
  for (const char* library : {"libgl1", "libglut", "libglew", "libx11"})
    EXPECT_NE(depends.find(library), std::string::npos) << library << " missing from" << depends;
  EXPECT_NE(info.output.find(" Maintainer: "), std::string::npos) << info.output;
  EXPECT_NE(info.output.find(" Description: "), std::string::npos) << info.output;

  command_result contents = shell("dpkg-deb --contents " DEB_PACKAGE_FILE);
  ASSERT_EQ(contents.status, 0) << contents.output;
  for (const char* file : installed_files)
    EXPECT_NE(contents.output.find(std::string(" ./usr/") + file + "\n"), std::string::npos) << file;

  command_result lintian = shell("lintian --fail-on error " DEB_PACKAGE_FILE);
  EXPECT_EQ(lintian.status, 0) << lintian.output;

  std::string root = fresh_directory("unpacked");
  command_result unpack = shell("dpkg-deb -x " DEB_PACKAGE_FILE " '" + root + "'");
  ASSERT_EQ(unpack.status, 0) << unpack.output;
  run_installed(root + "/usr/bin/brightness");
  EXPECT_EQ(run_program(root + "/usr/bin/brightness-curve", {"550"}).out, "550\t84.120\n");
  shell("rm -rf '" + root + "'");
}

}  // namespace
