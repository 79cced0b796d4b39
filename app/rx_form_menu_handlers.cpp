// The main window's own menu items (clearing and saving the receive buffer, the help, the About
// box, the support chat) and its focus helpers.
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <exception>
#include <filesystem>
#include <string>

#include "app/about_form.h"
#include "app/product_info.h"
#include "app/rx_form.h"
#include "memo/qt/styled_memo_widget.h"
#include "platform/replace_file.h"

namespace vestrel {

namespace {
constexpr char kHelpFile[] = "VESTREL.CHM";
constexpr char kFileError[] = "File Error";
}  // namespace

void TRxForm::ClearBuffer1Click() {
  engine_->display.DisplayPause = 0;
  RxMemo->Clear();
  transmit_->ClearPausePoint();
}

void TRxForm::SaveBuffer1Click() {
  // Ctrl+S while the dialog is open comes here again; it does nothing.
  if (savingBuffer_) return;
  savingBuffer_ = true;
  struct Release {
    bool& flag;
    ~Release() { flag = false; }
  } release{savingBuffer_};
  try {
    FileDialogRequest request;
    request.title = "Save buffer to file";
    request.filter = "Text files (*.txt);;All files (*)";
    request.confirmOverwrite = true;
    request.hideReadOnly = true;
    // The settings file is addressed relative to the working directory.
    request.keepWorkingDirectory = true;
    std::string name;
    if (!dialogs_.SaveFileName(request, name)) return;
    // A file the user may not write stays as it is, as truncating it would have failed.
    std::error_code ec;
    if (std::filesystem::exists(name, ec) && ::access(name.c_str(), W_OK) != 0) {
      boxes_.ShowMessage(kFileError, "File Open Error!");
      return;
    }
    // The whole text: paragraphs joined by CR LF, the memo's character count in bytes. It
    // goes beside the old file and replaces it only once written, so a failure keeps it.
    const TByteString text = RxMemo->GetTextContent();
    const ReplaceFileResult r =
        ReplaceFileContents(name, std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    if (r.stage == ReplaceFileResult::kCreate) boxes_.ShowMessage(kFileError, "File Open Error!");
    if (r.stage == ReplaceFileResult::kWrite) boxes_.ShowMessage(kFileError, "File Write Error!");
  } catch (const std::exception&) {
    boxes_.ShowMessage(kFileError, "Error while saving buffer!");
  }
}

void TRxForm::Contents1Click() {
  // The help file lies beside the program, whatever the working directory.
  const std::string path =
      (std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) / kHelpFile).string();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    boxes_.ShowMessage(kProductName, "Cannot open " + path);
    return;
  }
  OpenOrReport(opener_, boxes_, path);
}

void TRxForm::About1Click() {
  if (aboutShown_) return;
  aboutShown_ = true;
  {
    TAbout box(opener_, boxes_, this);
    box.exec();
  }
  aboutShown_ = false;
}

void TRxForm::ContactUs1Click() {
  OpenOrReport(opener_, boxes_, kChatAddress);
}

void TRxForm::FocusHelpers(QObject* watched, QEvent* e) {
  switch (e->type()) {
    case QEvent::KeyPress:
      if (watched == Sent) Input->setFocus();
      break;
    case QEvent::MouseButtonRelease:
      if (watched == TunePanel) Sent->setFocus();
      break;
    case QEvent::Enter: {
      // The areas the window tells apart; only entering the tuning panel from another one
      // moves the focus.
      QWidget* const areas[] = {statusBar(), RxMemo, PaintBox1, FFTBox, Sent, Input, TunePanel};
      for (QWidget* area : areas) {
        if (watched != area) continue;
        if (area == TunePanel && pointerArea_ != TunePanel) Sent->setFocus();
        pointerArea_ = area;
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace vestrel
