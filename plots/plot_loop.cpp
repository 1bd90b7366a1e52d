#include "plots/plot_loop.h"

#include <dlfcn.h>
#include <plplot/plplot.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <istream>
#include <memory>
#include <sstream>

#include "plots/plot_menu.h"
#include "series/files/interrupts.h"
#include "series/files/stop.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::string_view kMenuIndent = "               ";  // 15 blanks
constexpr std::string_view kNoteIndent = "             ";    // 13 blanks
// Devices PLplot may list.
constexpr int kMaxDevices = 128;
// The comment that tells a viewer to turn a page drawn across the paper, as PLplot's
// PostScript devices draw every page, and the comment before which it goes.
constexpr std::string_view kLandscape = "%%Orientation: Landscape\n";
constexpr std::string_view kEndComments = "%%EndComments";
// How a PostScript file that PLplot completed ends.
constexpr std::string_view kTrailerEnd = "%%EOF\n";

// PLplot's handlers take no context, so they can only throw: the page that was being drawn
// ends through its destructor and the loop reports the message.
int throw_on_exit(const char* message) { throw PlotError(message); }
void throw_on_abort(const char* message) { throw PlotError(message); }

// PLplot ends the process when an X device cannot open its display, so the display is tried
// first through libX11 itself (loaded here as PLplot's own X drivers load it). The
// connection stays open for the session: an X server without other clients resets when
// its last client leaves, and refuses the next page's connection while it does.
struct X11 {
  using OpenDisplay = void* (*)(const char*);
  using CloseDisplay = int (*)(void*);
  void* library = nullptr;
  void* display = nullptr;
  CloseDisplay close = nullptr;
};

X11 open_display() {
  X11 x;
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') return x;
  x.library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  if (x.library == nullptr) return x;
  auto open = reinterpret_cast<X11::OpenDisplay>(dlsym(x.library, "XOpenDisplay"));
  x.close = reinterpret_cast<X11::CloseDisplay>(dlsym(x.library, "XCloseDisplay"));
  if (open != nullptr && x.close != nullptr) x.display = open(name);
  if (x.display == nullptr) {
    dlclose(x.library);
    x.library = nullptr;
  }
  return x;
}

bool device_available(std::string_view name) {
  std::array<const char*, kMaxDevices> menus{};
  std::array<const char*, kMaxDevices> names{};
  const char** menu_list = menus.data();
  const char** name_list = names.data();
  int count = kMaxDevices;
  plgDevs(&menu_list, &name_list, &count);
  for (int i = 0; i < count && i < kMaxDevices; ++i) {
    if (names[static_cast<std::size_t>(i)] != nullptr &&
        name == names[static_cast<std::size_t>(i)]) {
      return true;
    }
  }
  return false;
}

void show_menu(Console& con, const std::vector<std::string>& menu) {
  con.say("");
  con.say("");
  for (const auto& line : menu) con.say(std::string(kMenuIndent) + line);
  con.say("");
  con.prompt(std::string(kMenuIndent) + " enter option number > ");
}

void report(Console& con, const std::string& message) {
  con.say(std::string(kNoteIndent) + "*** PLplot: " + message);
}

// The message of a stop as a reason, without its stars.
std::string stop_reason(const Stop& s) { return stars_line(s.what()).substr(5); }

// The name the user typed without its surrounding blanks.
std::string typed_name(const std::string& typed) { return std::string(trim(typed)); }

// Why `name` may not be saved over whatever the user answers; nothing when it may.
std::optional<std::string> refusal(PlotSession& session, const std::string& name) {
  OutputFiles& files = session.files();
  if (const Node node = files.fs().node(name); node == Node::folder || node == Node::other) {
    return name + " is " + node_words(node);
  }
  if (files.of_this_run(name)) return name + " is a file of this run";
  if (const std::string why = files.why_not_written(name); !why.empty()) return why;
  return std::nullopt;
}

// The reason a stream's write failed.
std::string write_failure(const FileStream& stream) {
  const std::string why = stream.write_failure();
  return why.empty() ? "a write failed" : why;
}

// True when no file has the name, or the user answers that the one there be replaced.
bool replacing_agreed(PlotSession& session, const std::string& name, std::string_view indent) {
  if (!session.files().exists(name)) return true;
  Console& con = session.console();
  con.prompt(std::string(indent) + name + " exists: replace it? y/<n> ");
  return con.read(1).letter('y');
}

}  // namespace

std::optional<std::string> finish_page_file(FileSystem& fs, const std::string& path) {
  // PLplot writes the file itself and keeps its errors: a page without its trailer is all
  // that shows of them.
  const std::optional<std::string> not_whole = "PLplot could not write the page whole";
  std::ostringstream all;
  if (const Opened in = fs.open(path, Open::read_own); in.stream) {
    all << in.stream->rdbuf();
  } else {
    return "cannot read the page back: " + in.failure;
  }
  std::string text = all.str();
  const std::size_t end = text.find(kEndComments);
  if (end == std::string::npos || !text.ends_with(kTrailerEnd)) return not_whole;
  if (text.find(kLandscape) < end) return std::nullopt;
  // A page of every series at the limits is tens of megabytes, read here and written again
  // below, each taking a good part of a second.
  stop_if_interrupted();
  text.insert(end, kLandscape);
  const Opened out = fs.open(path, Open::rewrite);
  if (!out.stream) return "cannot add the page's orientation: " + out.failure;
  if ((*out.stream << text).flush()) return std::nullopt;
  return "cannot add the page's orientation: " + write_failure(*out.stream);
}

PlotSession::PlotSession(Console& con, OutputFiles& files, Screen screen)
    : con_(con), files_(files), screen_(screen) {}

PlotSession::~PlotSession() {
  if (display_ != nullptr) close_display_(display_);
  if (x11_ != nullptr) dlclose(x11_);
}

std::optional<std::string> PlotSession::screen_device() {
  if (decided_) return device_;
  decided_ = true;
  if (screen_ == Screen::detect) {
    const X11 x = open_display();
    x11_ = x.library;
    display_ = x.display;
    close_display_ = x.close;
  }
  if (display_ != nullptr) {
    for (const char* name : {"xcairo", "xwin"}) {
      if (device_available(name)) {
        device_ = name;
        break;
      }
    }
  }
  if (!device_) {
    con_.say(
        " *** no X display: plots are not shown on the screen; [s]ave writes them as "
        "PostScript files");
  }
  return device_;
}

PlotPage::PlotPage(const std::string& device, const std::string& file, bool interactive,
                   const PlotStyle& style, PageShape shape) {
  plsexit(throw_on_exit);
  plsabort(throw_on_abort);
  plgstrm(&previous_);
  plmkstrm(&stream_);
  open_ = true;
  try {
    plsdev(device.c_str());
    if (!file.empty()) plsfnam(file.c_str());
    if (interactive) plspause(0);  // the menu question is the pause
    // Colours 0 and 15 follow the background, so that "black" stays visible on black.
    const int paper = style.black_background == 1 ? 0 : 255;
    plscol0(kWhite, paper, paper, paper);
    plscol0(kBlack, 255 - paper, 255 - paper, 255 - paper);
    plscolbg(style.bg_red, style.bg_green, style.bg_blue);
    plinit();
    plssub(shape.across, shape.down);
    plfontld(1);
    plfont(1);
  } catch (...) {
    // A page that failed to open is ended and the previous stream restored, whatever the
    // failure was (PLplot's abort, or no memory), before the failure goes on.
    try {
      plend1();
    } catch (const PlotError&) {
      // The stream could not even be ended: the failure that is going on says enough.
    }
    open_ = false;
    plsstrm(previous_);
    throw;
  }
}

PlotPage::~PlotPage() {
  if (!open_) return;
  try {
    plsstrm(stream_);
    plend1();
  } catch (...) {
    // A destructor must not throw, and PLplot reports its failures by exception here.
    // A failure to end a page that is being abandoned has nobody left to tell.
  }
  plsstrm(previous_);
}

void PlotPage::flush() { plflush(); }

void PlotPage::finish() {
  if (!open_) return;
  open_ = false;
  plsstrm(stream_);
  try {
    plend1();
  } catch (...) {
    // The previous stream comes back whatever failed, then the failure goes on.
    plsstrm(previous_);
    throw;
  }
  plsstrm(previous_);
}

std::vector<std::string> full_menu(const std::vector<std::string>& extra_lines) {
  return line_page_menu({.last_item = 21, .reset = "              reset options  [99]"},
                        extra_lines);
}

std::string label_text(std::string_view text) { return std::string(trim_right(text)); }

void say_page(Console& con, std::string_view title) {
  const std::string_view text = trim_right(title);
  if (text.empty()) return;
  con.say(" page: " + std::string(text.substr(text.find_first_not_of(' '))));
}

void say_saved(Console& con, std::string_view file) { con.say(" saved: " + std::string(file)); }

std::optional<std::string> show_page(PlotSession& session, std::optional<PlotPage>& screen,
                                     const PlotStyle& style, PageShape shape,
                                     const std::function<void()>& draw, std::string_view title) {
  screen.reset();
  const std::optional<std::string> device = session.screen_device();
  if (!device) {
    say_page(session.console(), title);
    return std::nullopt;
  }
  try {
    screen.emplace(*device, std::string(), true, style, shape);
    draw();
    screen->flush();
  } catch (const PlotError& e) {
    screen.reset();
    return e.what();
  }
  return std::nullopt;
}

std::optional<std::string> ask_save_name(PlotSession& session) {
  Console& con = session.console();
  // PLplot would ask the name on C's stdin itself; asking it here keeps a scripted run in
  // step. Each name refused is asked again, and counts with the console's limit on
  // answers that cannot be used.
  for (;;) {
    con.prompt("Enter graphics output file name: ");
    const std::string name = typed_name(con.read_line());
    if (name.empty() || quit_name(name)) {
      con.say(std::string(kNoteIndent) + "*** no file name given: the page is not saved");
      con.again();
      return std::nullopt;
    }
    if (const auto why = refusal(session, name)) {
      con.say(std::string(kNoteIndent) + "*** " + *why + ": give another name");
      con.again();
      continue;
    }
    if (!replacing_agreed(session, name, kNoteIndent)) {
      con.again();
      continue;
    }
    // PLplot would retry an unopenable file on the terminal; the user chooses [s] again.
    if (const std::string why = session.files().creation_failure(name); !why.empty()) {
      con.say(std::string(kNoteIndent) + "*** cannot open " + name + ": " + why +
              ": the page is not saved");
      return std::nullopt;
    }
    return name;
  }
}

bool may_save_as(PlotSession& session, const std::string& name, std::string_view indent) {
  Console& con = session.console();
  if (const auto why = refusal(session, name)) {
    con.say(std::string(indent) + "*** " + name + " is not saved: " + *why);
    return false;
  }
  if (replacing_agreed(session, name, indent)) return true;
  con.say(std::string(indent) + "*** " + name +
          " is not saved: the earlier file is kept as it was");
  return false;
}

std::optional<std::string> save_page(PlotSession& session, const std::string& name,
                                     const PlotStyle& style, PageShape shape,
                                     const std::function<void()>& draw) {
  OutputFiles& files = session.files();
  try {
    // PLplot writes the page by its path.
    const std::string temporary = files.begin(name, Commit::on_save).temp;
    std::optional<std::string> failure;
    try {
      PlotPage page("psc", temporary, false, style, shape);
      draw();
      page.finish();
      failure = finish_page_file(files.fs(), temporary);
    } catch (const PlotError& e) {
      failure = "PLplot: " + std::string(e.what());
    } catch (const Stop&) {
      files.drop(name);  // a stop (a signal) while the page was drawn leaves no page
      throw;
    }
    if (failure) {
      files.drop(name);
      return failure;
    }
    files.complete(name);
  } catch (const Stop& s) {
    if (interrupted(s)) throw;  // the run ends, as on any signal
    return stop_reason(s);      // the file could not be begun or put in place
  }
  return std::nullopt;
}

std::optional<std::string> save_text(PlotSession& session, const std::string& name,
                                     const std::string& text) {
  OutputFiles& files = session.files();
  try {
    Begun out = files.begin(name, Commit::on_save);
    const std::string failure =
        (*out.stream << text).flush() ? std::string() : write_failure(*out.stream);
    out.stream.reset();
    if (!failure.empty()) {
      files.drop(name);
      return "the file could not be written whole: " + failure;
    }
    files.complete(name);
  } catch (const Stop& s) {
    return stop_reason(s);  // the file could not be begun or put in place
  }
  return std::nullopt;
}

void say_save(PlotSession& session, std::string_view indent, const std::string& name,
              const std::optional<std::string>& failure) {
  Console& con = session.console();
  if (!failure) {
    say_saved(con, name);
    for (const std::string& note : session.files().take_notes()) con.say(note);
    return;
  }
  con.say(std::string(indent) + "*** " + *failure);
  con.say(std::string(indent) + "*** " + name + " is not saved" +
          (session.files().exists(name) ? ": the earlier file is kept as it was" : ""));
}

PlotExit plot_loop(PlotSession& session, const PlotDefinition& plot) {
  Console& con = session.console();
  PlotStyle style;
  std::optional<PlotPage> screen;  // the page on the screen stays open while the menu waits

  const auto set_up = [&] {
    arspltstyle(con, style, kStyleReset);
    plot.set_up(style);
  };
  const auto draw = [&] { plot.draw(style); };
  const auto show = [&] {
    const auto failure = show_page(session, screen, style, plot.shape, draw, plot.title);
    if (failure) report(con, *failure);
  };
  const auto save = [&] {
    con.say("");
    con.say("NOTE: The image file type is postscript. Use a .ps extention");
    con.say("  to make that readily apparent to your OS");
    con.say("");
    const std::optional<std::string> name = ask_save_name(session);
    if (!name) return;
    say_save(session, kNoteIndent, *name, save_page(session, *name, style, plot.shape, draw));
  };

  set_up();
  show();
  for (int round = 0; round < kMaxMenuRounds; ++round) {
    show_menu(con, plot.menu);
    // A letter counts alone in the two-character field; a blank field goes on.
    const Answer answer = con.read(2);
    if (answer.word('s')) {
      save();
      continue;
    }
    const Meaning m = answer.meaning({.yes_no = true, .whole_word = true, .blank = Meaning::yes});
    if (m == Meaning::yes || answer.word('c')) return PlotExit::proceed;
    if (m == Meaning::no) return PlotExit::no_more_plots;

    const std::optional<long long> item = answer.integer();
    if (item && *item >= 1 && *item <= plot.last_style_item) {
      arspltstyle(con, style, static_cast<int>(*item));
    } else if (item && *item == 0) {
      show();
    } else if (item && plot.extra_item && plot.extra_item(static_cast<int>(*item), answer.typed)) {
      // handled by the plot; the menu shows again
    } else if (item && *item == kStyleReset) {
      set_up();
      show();
    } else {
      con.say("");
      con.say(std::string(kNoteIndent) + plot.unknown_option);
      con.again();
    }
  }
  con.say(std::string(kNoteIndent) + "*** too many menu answers: the plot ends here");
  return PlotExit::proceed;
}

}  // namespace dendro
