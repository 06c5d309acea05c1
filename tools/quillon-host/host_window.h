// The window of quillon-host: one display of controls, its run/design switch, its saving,
// its screenshots and the timed actions of a script.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "display_file.h"
#include "frame.h"
#include "hosted_control.h"
#include "layout.h"
#include "site.h"

namespace quillon::host {

struct Action {
  enum Kind {
    kPrint, kScreenshot, kSave, kRun, kDesign, kHide, kShow, kStats, kQuit,
    // Editing in design mode
    kSelect, kMove, kAdd, kDelete, kProperties, kCloseFrame, kKey, kDrag, kUndo
  };
  double at_seconds = 0;
  Kind kind = kQuit;
  std::string argument;  // property names (comma-separated), a file, a control's name, a class,
                         // "NAME,DX,DY", a key's name or "X1,Y1,X2,Y2"
};

// Parses "print[=A,B]", "screenshot=FILE", "save[=FILE]", "run", "design", "hide=NAME",
// "show=NAME", "stats", "quit", "select=NAME", "move=NAME,DX,DY", "add[=CLASS]",
// "delete=NAME", "properties=NAME", "close-frame", "key=KEY", "drag=X1,Y1,X2,Y2" or "undo";
// false when the text is none of them.
bool ParseAction(const std::string& text, Action* action);

// The commands of the window's menus.
enum MenuId {
  kMenuRun = 100, kMenuDesign, kMenuSave, kMenuScreenshot, kMenuPrint, kMenuExit,
  kMenuAdd, kMenuDelete, kMenuProperties, kMenuUndo
};

struct HostOptions {
  std::string display_path;
  bool force_mode = false;  // the command line chose the mode
  bool run_mode = false;
  bool no_ambient = false;  // sites without IDispatch: controls cannot read "UserMode"
  std::vector<Action> actions;
};

class HostWindow {
 public:
  HostWindow() = default;
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  ~HostWindow();

  // Creates the window and its controls; false with *error when the window cannot be made.
  // Controls that fail are reported on stderr and counted in failures().
  bool Open(Display display, const HostOptions& options, std::string* error);
  // Runs the message loop until the window is closed.
  int Run();

  int failures() const { return failures_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  void CreateMenuBar();
  void AddControl(DisplayControl& spec);
  void SetRunMode(bool run);
  void UpdateTitle();
  bool Save(const std::string& path);
  bool Screenshot(const std::string& path);
  void Print(const std::string& names);
  void PrintStats();
  void ShowControl(const std::string& name, bool visible);
  void RunDueActions();
  void CloseAll();
  RECT PixelRect(const DisplayControl& spec) const;

  // Editing in design mode (editor.cc). Every index is one of controls_ and display_.controls.
  bool EditorMessage(const MSG& msg);  // true when the editor took the message
  bool EditorKey(UINT key, bool alt, bool shift);
  void MouseDown(POINT at, bool twice);
  void MouseMove(POINT at);
  void MouseUp();
  void Select(int index);
  void MoveSelectedBy(int dx, int dy);
  int AddNew(const std::string& class_name);
  void DeleteSelected();
  void ShowProperties();
  void CloseFrame();
  void PostKey(const std::string& key);
  void PostDrag(const std::string& points);
  bool RunEditAction(const Action& action);  // false when the action waits for a frame to close
  int FindControl(const std::string& name) const;
  std::vector<Box> Boxes() const;
  void Moved(int index);
  void ShowPlace(const RECT& rect);
  void Undo();
  void PaintSelection(HDC dc);
  void UpdateEditMenu(HMENU menu);

  HWND window_ = nullptr;
  Frame* frame_ = nullptr;
  Container container_;
  Display display_;
  HostOptions options_;
  std::vector<std::unique_ptr<HostedControl>> controls_;
  size_t next_action_ = 0;
  ULONGLONG started_ = 0;
  ULONGLONG last_stats_at_ = 0, last_cpu_ = 0;  // ms
  SIZE dpi_{96, 96};
  int failures_ = 0;
  int selected_ = -1;
  bool dragging_ = false, drag_moved_ = false;
  POINT drag_from_{};
  RECT drag_start_{};
  DWORD last_click_time_ = 0;
  POINT last_click_{-1000, -1000};
  bool in_frame_ = false;  // a property frame is open (modal)
  // The last move, add or delete, to be undone.
  struct LastEdit {
    enum Kind { kNone, kMoved, kAdded, kDeleted } kind = kNone;
    int index = -1;
    RECT rect{};               // where a moved control was
    DisplayControl deleted;    // a deleted control with its saved entries and position
  } last_edit_;
};

}  // namespace quillon::host
