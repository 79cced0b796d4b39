#include "app/capture_files.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/rx_form.h"
#include "engine/messages.h"
#include "io/capture_status.h"
#include "memo/qt/styled_memo_widget.h"
#include "memo/styled_memo_strings.h"

namespace vestrel {

TCaptureFiles::TCaptureFiles(TRxForm& form, MessageBoxSink& boxes, FileDialogs& dialogs, ShellOpener& opener,
                             Clock& clock)
    : form_(form),
      wave_(*this, boxes, dialogs, clock),
      streams_(*this, boxes, dialogs, opener, form.TextCaptureFile) {}

void TCaptureFiles::ShowCaptureStatus() {
  form_.SetPanelText(4, CaptureStatusText(streams_.TextCaptureOn(), streams_.KissCaptureOn(), wave_.WaveCaptureOn()));
}

void TCaptureFiles::OpenBufferInEditor() { streams_.OpenBufferinN1Click(form_.RxMemo->Lines()); }

void TCaptureFiles::SetMenuEnabled(std::string_view item, bool enabled) {
  form_.SetMenuEnabled(item, enabled);
}

void TCaptureFiles::SetReplayButtonEnabled(bool enabled) {
  form_.ReplayButton()->setEnabled(enabled);
}

void TCaptureFiles::SetSaveButtonEnabled(bool enabled) {
  form_.SaveButton()->setEnabled(enabled);
}

void TCaptureFiles::FocusSentMemo() {
  form_.Sent->setFocus();
}

void TCaptureFiles::SetFileLabel(std::string_view text) {
  form_.FileLabel->setText(QString::fromLatin1(text.data(), qsizetype(text.size())));
}

void TCaptureFiles::SetDisplayPause(int ticks) {
  form_.engine().display.DisplayPause = ticks;
}

int32_t TCaptureFiles::UtcOffsetSetting() const {
  return form_.settings().UTCoffset;
}

bool TCaptureFiles::EngineClosing() const {
  return form_.engine().tx.EngineClosing.load();
}

void TCaptureFiles::FeedInputBlock(const int16_t* samples, int source) {
  form_.engineDriver().FeedInputBlock(samples, source);
}

uint32_t TCaptureFiles::CaptureBuffersFull() const {
  return static_cast<uint32_t>(std::max(0, form_.engineDriver().CaptureBuffersWaiting()));
}

void TCaptureFiles::ProcessSoundInput() {
  form_.engineDriver().ProcessSoundInput();
}

void TCaptureFiles::ProcessMessages() {
  form_.appControl().ProcessMessages();
}

void TCaptureFiles::PostWaveInData() {
  form_.Post(WM_WAVEIN_DATA);
}

}  // namespace vestrel
