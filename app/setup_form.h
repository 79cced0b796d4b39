#pragma once
#include <QDialog>
#include <QVariant>
#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/app_settings.h"
#include "app/setup_samples.h"
#include "engine/mode_number.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace vestrel {

class FontDialogs;
class QtFontDialogs;
class TRxForm;
class WaveBackend;

// What the setup dialog uses that a test replaces. Null entries get the program's own.
struct TSetupFormDeps {
  FontDialogs* dialogs = nullptr;  // null: QFontDialog and QColorDialog
  WaveBackend* devices = nullptr;  // the sound device lists; null: ALSA's
};

// The "Setup" dialog: most settings in ten pages, applied to the running program by OK, Apply
// and Save (which also writes the settings file). Each group of controls is compared with the
// settings, and only what changed is re-opened: ports, exchange library, sound devices, rate
// converters, rig control. A control the operator left as it was filled changes nothing, even
// where it cannot show the stored value (a port beyond its list, an unlisted time zone).
// Created hidden at start-up; it lives for the run and is filled anew each time it is shown.
class TSetupForm : public QDialog {
 public:
  explicit TSetupForm(TRxForm& form, TSetupFormDeps deps = {});
  ~TSetupForm() override;

  // Every control from the current settings; the three flags cleared.
  void LoadSetupDialog();
  // Every control into the settings and the running program.
  void ApplySetupDialog();

  void SetupOKClick();
  void SetupApplyClick();
  void SetupSaveClick();
  void SetupCancelClick();

  // Interface page.
  void PortTypeBoxChange();
  void PortNumberBoxChange();  // also the DataExBox change
  void PttPinBoxChange();      // all three pin boxes
  // Fonts and colours.
  void RxFontButtonClick();
  void RxBackButtonClick();
  void SentFontButtonClick();
  void SentBackButtonClick();
  void TxFontButtonClick();
  void TxBackButtonClick();
  void TxSentFontButtonClick();
  void SetMacroFontButtonClick();
  void CallColorButtonClick();
  void SpecBackButtonClick();
  void FastSpecButtonClick();
  void SlowSpecButtonClick();
  void RxMarkColorButtonClick();
  void TxMarkColorButtonClick();
  void OscBackButtonClick();
  void OscColorButtonClick();
  void OscMarkButtonClick();
  // Waterfall.
  void H0EditChange();  // all six coefficient edits
  void RxMarkButtonClick();
  void TxMarkButtonClick();
  void WfImageMouseDown(int x);
  void WfImageMouseMove(int x, bool leftButton);
  // Logger names of the modes; the rig-control server's setup.
  void ModeAsBoxChange();
  void ModeAsEditChange();
  void ShowOmniSetupButton1Click();

  // Dialog state kept between the handlers and ApplySetupDialog.
  bool FontsChanged = false;      // a font or colour button was used
  bool WaterfallChanged = false;  // a coefficient or a waterfall mark colour changed
  bool OmniSetupUsed = false;     // the "Go" button was pressed
  // "Continuous carrier while idle": no other part reads it, and it is not saved.
  bool ContinuousCarrier = false;

  // The sample texts of the fonts page: the received call sign at offsets 32..37, and a
  // first line of 30 characters already sent.
  static constexpr const char* kRxSampleText =
      "CQ CQ CQ TEST TEST TEST TEST DE DL0ABC DL0ABC PSE K\r\nUR RST 599 599";
  static constexpr const char* kSentSampleText = "RYRYRYRYRY THE QUICK BROWN FOX\r\n0123456789";
  static constexpr const char* kTxSampleText =
      "Sent text: this line has gone.\r\nTyped text still to be sent";
  static constexpr int kRxSampleCallStart = 32, kRxSampleCallLength = 6;
  static constexpr int kTxSampleSentLength = 30;

  QTabWidget* PageControl = nullptr;
  // "Interface"
  QComboBox* PortTypeBox = nullptr;
  QComboBox* PortNumberBox = nullptr;
  QLineEdit* XPortEdit = nullptr;
  QComboBox* PttPinBox = nullptr;
  QComboBox* Power1PinBox = nullptr;
  QComboBox* Power2PinBox = nullptr;
  QLabel* WexlinPinsLabel = nullptr;  // "+pins 16,1"
  QCheckBox* FskCheckBox = nullptr;
  QComboBox* DataExBox = nullptr;
  QComboBox* ExSpeedBox = nullptr;
  QComboBox* ExCanalBox = nullptr;
  QComboBox* MessageChannelBox = nullptr;
  QComboBox* InputCardNumBox = nullptr;
  QComboBox* OutputCardNumBox = nullptr;
  QComboBox* InputCardChannelBox = nullptr;
  QComboBox* OutputCardChannelBox = nullptr;
  QLineEdit* InSamplingRateEdit = nullptr;
  QLineEdit* OutSamplingRateEdit = nullptr;
  QCheckBox* DuplexCardBox = nullptr;
  QCheckBox* WholeWordBox = nullptr;
  QCheckBox* AfcAtMouseBox = nullptr;
  QCheckBox* ContCarrierBox = nullptr;
  // "MOX && Beacon"
  QCheckBox* TxAtKeyboardBox = nullptr;
  QCheckBox* RxAtFreeBufferBox = nullptr;
  QCheckBox* BeaconOffAtClickBox = nullptr;
  QCheckBox* BeaconOffAtMyCallBox = nullptr;
  QLineEdit* MyCallEdit = nullptr;
  QCheckBox* BeaconOffAtTwoCallsBox = nullptr;
  // "Tuning"
  QComboBox* TuneRigByBox = nullptr;
  QComboBox* RigNumberBox = nullptr;
  QCheckBox* TuneBABox = nullptr;
  QLineEdit* TuneBAEdit = nullptr;
  QPushButton* ShowOmniSetupButton1 = nullptr;
  QCheckBox* UseWheelBox = nullptr;
  QSpinBox* WheelSpeedEdit = nullptr;
  // "Text"
  std::array<QRadioButton*, 4> AlphabetButtons{};  // by Baudot code set 0..3
  QCheckBox* UnshiftOnSpaceBox = nullptr;
  QCheckBox* ExtendedBaudotBox = nullptr;
  QCheckBox* BackspaceHandlingBox = nullptr;
  QCheckBox* CatchWordByOneClickBox = nullptr;
  QCheckBox* ContestModeBox = nullptr;
  QCheckBox* CopyTransferredDataBox = nullptr;
  QComboBox* UseOtherAsBox = nullptr;
  // "View"
  QCheckBox* OscShowBox = nullptr;
  QCheckBox* PhaseShowBox = nullptr;
  QCheckBox* EditFieldsShowBox = nullptr;
  QCheckBox* LogOscillogramBox = nullptr;
  QCheckBox* LogSpectrumBox = nullptr;
  QCheckBox* WaterFallBox = nullptr;
  QCheckBox* ShowSentInRxBox = nullptr;
  QComboBox* NumOfMacroBox = nullptr;
  // "Fonts && colors"
  TextSample* RxSample = nullptr;
  TextSample* SentSample = nullptr;
  TextSample* TxSample = nullptr;
  QPushButton* MacroSampleButton = nullptr;
  QPushButton* RxFontButton = nullptr;
  QPushButton* RxBackButton = nullptr;
  QPushButton* CallColorButton = nullptr;
  QPushButton* SentFontButton = nullptr;
  QPushButton* SentBackButton = nullptr;
  QPushButton* TxFontButton = nullptr;
  QPushButton* TxBackButton = nullptr;
  QPushButton* TxSentFontButton = nullptr;
  QPushButton* SetMacroFontButton = nullptr;
  // "Spectr. && Osc. colors", in the order of DisplayColours.
  std::array<QPushButton*, 8> DisplayColourButtons{};
  ColoursPreview* SpectrumPreview = nullptr;
  ColoursPreview* OscPreview = nullptr;
  // "Waterfall"
  std::array<QLineEdit*, 6> CoefficientEdits{};  // H0Edit, H1Edit, S0Edit, S1Edit, L0Edit, L1Edit
  QPushButton* RxMarkButton = nullptr;
  QPushButton* TxMarkButton = nullptr;
  WaterfallPreview* WfImage = nullptr;
  // "AX25"
  QCheckBox* KissBox = nullptr;
  // "Other"
  QComboBox* TimeZoneBox = nullptr;
  QCheckBox* WhenChangedBox = nullptr;
  QCheckBox* WithCallBox = nullptr;
  QComboBox* ModeAsBox = nullptr;
  QLineEdit* ModeAsEdit = nullptr;
  QCheckBox* BinaryTransferBox = nullptr;
  QCheckBox* PutTimeToFileBox = nullptr;
  QCheckBox* SavePs2x5Box = nullptr;
  // Below the pages.
  QPushButton* OKButton = nullptr;
  QPushButton* ApplyButton = nullptr;
  QPushButton* SaveButton = nullptr;
  QPushButton* CancelButton = nullptr;

  // Working copies, taken over by ApplySetupDialog.
  TFontSetting RxFont, SentFont, TxFont, ButtonFont;
  int32_t CallColor = 0, SentColor = 0;
  DisplayColours Colours{};
  int32_t WfRxMarkColor = 0, WfTxMarkColor = 0;
  std::array<std::string, kModeCount> ReportNames;
  int ModeAsMode = 0;  // ModeNumber whose name ModeAsEdit shows

 protected:
  // FormCloseQuery: closing by the title bar, or Esc, is Cancel.
  void closeEvent(QCloseEvent* e) override;
  void reject() override;

 private:
  void BuildInterfacePage();
  void BuildMoxPage();
  void BuildTuningPage();
  void BuildTextPage();
  void BuildViewPage();
  void BuildFontsPage();
  void BuildColoursPage();
  void BuildWaterfallPage();
  void BuildAx25Page();
  void BuildOtherPage();
  QWidget* AddPage(const char* caption);

  // The port type's lists and default pins; the port number keeps `numberIndex` where it fits.
  void FillPortLists(int numberIndex);
  void FillDeviceLists();
  void ShowSamples();
  void ShowWaterfall();
  void ChooseSampleFont(TFontSetting& font, bool effects);
  void ChooseColour(int32_t& colour);
  void Pause100Ms();
  bool Closing() const;
  void ApplyPorts();
  void ApplyExchangeLibrary();
  void ApplySoundDevices();
  void ApplyRates();
  void ApplyDuplex();
  void ApplyMoxPage();
  void ApplyRig();
  void ApplyTextPage();
  void ApplyViewPage();
  void ApplyFonts();
  void ApplyWaterfall();
  void ApplyOtherPage();
  // Text of the own call and the mode names: 8-bit in the receive window's code page.
  int CodePage() const;
  QString FromCodePage(const std::string& bytes) const;
  std::string ToCodePage(const QString& text) const;

  // The state of every control as the last load or apply left it: a control whose state is
  // unchanged keeps the setting it stands for.
  void TakeSnapshot();
  bool Changed(const QWidget* control) const;
  int Flag(const QCheckBox* box, int32_t current) const;
  int Index(const QComboBox* box, int current, int offset = 0) const;

  TRxForm& form_;
  std::unique_ptr<QtFontDialogs> ownDialogs_;
  FontDialogs& dialogs_;
  std::unique_ptr<WaveBackend> ownDevices_;
  WaveBackend* devices_ = nullptr;
  std::vector<QWidget*> controls_;  // whose states the snapshot keeps
  std::vector<std::pair<const QWidget*, QVariant>> snapshot_;
  int32_t loadedUseTxD_ = 0;  // UseTxD when the dialog was filled
  bool applying_ = false;
};

}  // namespace vestrel
