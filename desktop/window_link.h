#pragma once
// What the dialogs ask of the main window. The main window implements it, so
// the dialogs that it opens need not know the window itself.

#include <string>
#include <vector>

class wxWindow;

namespace trovabild {

class RunControl;

class WindowLink {
 public:
  virtual ~WindowLink() = default;

  /// The window that dialogs and message boxes belong to, and that is
  /// disabled while one of them runs.
  virtual wxWindow& dialogParent() = 0;
  virtual void setStatus(const std::string& text) = 0;
  /// The output folder box's text, and setting it without events.
  virtual std::string outputFolderText() const = 0;
  virtual void setOutputFolderText(const std::string& text) = 0;
  /// Index of the output format box's selection.
  virtual int outputFormatIndex() const = 0;
  /// Fills the output folder box from the recent output folders.
  virtual void RefreshOutputFolderBox() = 0;
  /// Rows waiting from a background scanner are moved into the file list.
  virtual void takeQueuedRows() = 0;
  /// The file list's rows, in order.
  virtual std::vector<std::string> rows() const = 0;
  /// The control of the run that the window's progress dialogs show, one
  /// at a time: its progress, the pause while a break question is open,
  /// the stop.
  virtual RunControl& runControl() = 0;
};

}  // namespace trovabild
