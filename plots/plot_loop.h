// The plot loop that the plots of kalder share: a page on the screen, the plot options
// menu on the console, style edits, redraws, resets and PostScript saves.
//
// A plot routine describes its page (menu lines, the style items it offers, how to set up
// limits and texts, how to draw the panels) and hands it to plot_loop, which runs until the
// user continues or asks for no more plots. PLplot is reached only through PlotPage, which
// owns one PLplot stream for one page and always ends it.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "plots/plot_style.h"
#include "series/console.h"
#include "series/files/output_files.h"

namespace dendro {

// An error that PLplot reported while a page was drawn (PLplot would otherwise end the
// process). The plot loop shows it and goes back to its menu.
class PlotError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the plots of one run share: the console, the run's file owner (through which every
// page is saved) and the screen. Whether a screen can be used is decided once, at the
// first screen page; without one the screen pages are skipped with one note per run, and
// everything else (menus, edits, saves) works as usual.
class PlotSession {
 public:
  enum class Screen {
    detect,  // an interactive PLplot device when an X display can be opened
    none,    // never draw on the screen (runs without a display, and tests)
  };
  PlotSession(Console& con, OutputFiles& files, Screen screen = Screen::detect);
  ~PlotSession();
  PlotSession(const PlotSession&) = delete;
  PlotSession& operator=(const PlotSession&) = delete;

  Console& console() { return con_; }
  OutputFiles& files() { return files_; }
  // The PLplot device for screen pages, or nothing when there is no screen.
  std::optional<std::string> screen_device();

 private:
  Console& con_;
  OutputFiles& files_;
  Screen screen_;
  bool decided_ = false;
  std::optional<std::string> device_;
  // The X connection held for the session (libX11 is loaded at run time).
  void* x11_ = nullptr;
  void* display_ = nullptr;
  int (*close_display_)(void*) = nullptr;
};

// The page layout that PLplot sets up before the plot draws: subpages across and down.
struct PageShape {
  int across = 1;
  int down = 1;
};

// One PLplot page on its own stream: device, colour map 0 entries 0 and 15 and the
// background from the style, subpages, the extended font set. The stream is ended by
// finish() or, when an exception passes, by the destructor.
class PlotPage {
 public:
  // `file` is the output file of a file device (empty for the screen).
  PlotPage(const std::string& device, const std::string& file, bool interactive,
           const PlotStyle& style, PageShape shape);
  ~PlotPage();
  PlotPage(const PlotPage&) = delete;
  PlotPage& operator=(const PlotPage&) = delete;

  // Shows what has been drawn so far (screen pages stay open while the menu waits).
  void flush();
  // Ends the page: the file is written, the window closed. Reports PLplot's errors.
  void finish();

 private:
  int previous_ = 0;
  int stream_ = -1;
  bool open_ = false;
};

// A menu that is answered this often without the user leaving it ends the plot.
inline constexpr int kMaxMenuRounds = 100000;

// Returned by the plot loop: how the user left the page.
enum class PlotExit {
  proceed,        // [c]ontinue: the caller goes on
  no_more_plots,  // [n]o more plots: the caller clears its plot flag where it keeps one
};

// A plot as the loop runs it.
struct PlotDefinition {
  // The menu box, one line each, printed after 15 blanks.
  std::vector<std::string> menu;
  // Items 1 to this number go to the style editor.
  int last_style_item = 21;
  // Printed (after 13 blanks) for an item the menu does not offer.
  std::string unknown_option = "unknown option re-enter a valid request";
  PageShape shape;
  // Limits, ticks and texts from the data, after the style was reset to its defaults.
  std::function<void(PlotStyle&)> set_up;
  // The panels of the page, on an initialised PLplot stream.
  std::function<void(const PlotStyle&)> draw;
  // The plot's own menu items (`typed`: the answer as typed): true when the item was handled
  // (the menu then shows again without a redraw).
  std::function<bool(int item, std::string_view typed)> extra_item;
  // What the page shows, named on the console where no screen shows the page.
  std::string title;
};

// Hands the set_up and draw of a page object to `plot`; the page must outlive the loop.
template <class Page>
void bind_page(PlotDefinition& plot, Page& page) {
  plot.set_up = [&page](PlotStyle& s) { page.set_up(s); };
  plot.draw = [&page](const PlotStyle& s) { page.draw(s); };
}

// Runs the plot loop: set-up, drawing, menu, until the user continues or asks for no more
// plots.
PlotExit plot_loop(PlotSession& session, const PlotDefinition& plot);

// Draws a page on the screen device, when the session has one, and leaves it open in
// `screen` while the menu waits. Without a screen the console names the page by its
// `title` instead, so that the user knows what the menu's [s]ave would write. Returns
// PLplot's message when the drawing failed; the page is closed then.
std::optional<std::string> show_page(PlotSession& session, std::optional<PlotPage>& screen,
                                     const PlotStyle& style, PageShape shape,
                                     const std::function<void()>& draw, std::string_view title);

// Names a page on the console in place of showing it: " page: " and the title (nothing
// for a page without one).
void say_page(Console& con, std::string_view title);

// Asks the name to save a page under. A blank or "/" means no save (nothing returned); a
// file of the run (an input, or an output it writes) or a folder is refused and the name
// asked again, as is a file that exists unless the user answers that it be replaced; a
// name whose file cannot be created is said so and nothing returned.
std::optional<std::string> ask_save_name(PlotSession& session);

// For a page or value file saved under a fixed name: true when it may be written, that is
// when no file has the name or the user answers that the one there be replaced; otherwise
// says that it is not saved.
bool may_save_as(PlotSession& session, const std::string& name, std::string_view indent);

// Draws a page into a new version of the PostScript file `name`, with the comment that
// makes a viewer show the landscape page upright; it replaces an earlier file of the name
// once complete. Returns why the page could not be saved; the earlier file is then as it
// was, as a page cut short is no page.
std::optional<std::string> save_page(PlotSession& session, const std::string& name,
                                     const PlotStyle& style, PageShape shape,
                                     const std::function<void()>& draw);

// Makes the PostScript page PLplot wrote to `path` a file to keep, or says why it cannot be
// one. PLplot's PostScript devices lay the landscape page sideways on portrait paper and
// say nothing of it, so that viewers show it sideways: the comment that says so goes among
// the file's header comments. PLplot does not report a write that failed, so the page is
// taken as whole only when it ends with its trailer.
std::optional<std::string> finish_page_file(FileSystem& fs, const std::string& path);

// Writes `text` as a new version of the file `name`, which replaces an earlier one once
// complete. Returns why it could not be saved; the earlier file is then as it was.
std::optional<std::string> save_text(PlotSession& session, const std::string& name,
                                     const std::string& text);

// Says whether the page or file `name` was saved (`failure` nothing): " saved: " and its
// name; otherwise, after `indent`, why not, and that it is not saved (and that an earlier
// file of the name is kept as it was).
void say_save(PlotSession& session, std::string_view indent, const std::string& name,
              const std::optional<std::string>& failure);

// Tells the user that a file was written: " saved: " and its name.
void say_saved(Console& con, std::string_view file);

// The full plot options menu (items 0 to 21 and 99), with the plot's own item lines after
// the line of item 21.
std::vector<std::string> full_menu(const std::vector<std::string>& extra_lines = {});

// A text as PLplot draws it: trailing blanks are not part of a label.
std::string label_text(std::string_view text);

}  // namespace dendro
