#include "memo/qt/styled_memo_widget.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <exception>

#include "memo/code_pages.h"

namespace vestrel {
namespace {

// A slice request of the memo's format thread, posted to the widget.
class TFormatRequestEvent : public QEvent {
 public:
  static QEvent::Type Type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  explicit TFormatRequestEvent(uintptr_t t) : QEvent(Type()), token(t) {}
  const uintptr_t token;
};

}  // namespace

StyledMemoWidget::StyledMemoWidget(QWidget* parent)
    : QAbstractScrollArea(parent), fonts_(*this), measure_(fonts_, palette()) {
  // The memo paints every pixel of what it is asked to paint.
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAttribute(Qt::WA_NoSystemBackground);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setMouseTracking(true);  // the pointer's shape follows what lies under it
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
          [this](int action) { ScrollAction(sbVertical, action); });
  connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
          [this](int action) { ScrollAction(sbHorizontal, action); });
  connect(&blink_, &QTimer::timeout, this, [this] { BlinkCaret(); });
  ShowScrollBarPolicies();
  setClipboard(&qtClipboard_);
  CreateHandle(*this);
}

StyledMemoWidget::~StyledMemoWidget() {
  DestroyWindowHandle();
}

QString StyledMemoWidget::DecodeText(TByteView bytes, uint8_t extStyle) {
  return fonts_.Decode(fonts_.Get(extStyle), bytes.data(), static_cast<int32_t>(bytes.size()));
}

intptr_t StyledMemoWidget::Send(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  TMemoMessage m;
  m.Msg = msg;
  m.WParam = wParam;
  m.LParam = lParam;
  WndProc(m);
  return m.Result;
}

// A scroll bar without a page's worth of range is hidden while the memo's automatic bars are
// on; without them a bar the memo has stays.
void StyledMemoWidget::ShowScrollBarPolicies() {
  const bool autoBars = Options() & smoAutoScrollBars;
  auto policy = [&](bool has) {
    return !has ? Qt::ScrollBarAlwaysOff : autoBars ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn;
  };
  const Qt::ScrollBarPolicy v = policy(ScrollBars() & ssVertical), h = policy(ScrollBars() & ssHorizontal);
  if (verticalScrollBarPolicy() != v) setVerticalScrollBarPolicy(v);
  if (horizontalScrollBarPolicy() != h) setHorizontalScrollBarPolicy(h);
}

// ---- events ----

bool StyledMemoWidget::event(QEvent* event) {
  if (event->type() == TFormatRequestEvent::Type()) {
    Send(SM_UPDATEBKG, static_cast<TFormatRequestEvent*>(event)->token);
    return true;
  }
  // Tab belongs to the text when the memo takes tabs, instead of moving the focus on.
  if (event->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
        !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
        Send(WM_GETDLGCODE) == kDlgCodeKeysAndTabs) {
      keyPressEvent(k);
      return true;
    }
  }
  return QAbstractScrollArea::event(event);
}

TMemoKey StyledMemoWidget::MemoKey(int k) {
  if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9))
    return static_cast<TMemoKey>(k);
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return static_cast<TMemoKey>(kKeyF1 + (k - Qt::Key_F1));
  switch (k) {
    case Qt::Key_Backspace:
      return kKeyBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return kKeyTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return kKeyReturn;
    case Qt::Key_Shift:
      return kKeyShift;
    case Qt::Key_Control:
      return kKeyControl;
    case Qt::Key_Alt:
      return kKeyAlt;
    case Qt::Key_Escape:
      return kKeyEscape;
    case Qt::Key_Space:
      return kKeySpace;
    case Qt::Key_PageUp:
      return kKeyPageUp;
    case Qt::Key_PageDown:
      return kKeyPageDown;
    case Qt::Key_End:
      return kKeyEnd;
    case Qt::Key_Home:
      return kKeyHome;
    case Qt::Key_Left:
      return kKeyLeft;
    case Qt::Key_Up:
      return kKeyUp;
    case Qt::Key_Right:
      return kKeyRight;
    case Qt::Key_Down:
      return kKeyDown;
    case Qt::Key_Insert:
      return kKeyInsert;
    case Qt::Key_Delete:
      return kKeyDelete;
    case Qt::Key_Menu:
      return kKeyApps;
    default:
      return 0;
  }
}

TShiftState StyledMemoWidget::ShiftOf(Qt::KeyboardModifiers m) {
  TShiftState s = 0;
  if (m & Qt::ShiftModifier) s |= ssShift;
  if (m & Qt::AltModifier) s |= ssAlt;
  if (m & Qt::ControlModifier) s |= ssCtrl;
  return s;
}

void StyledMemoWidget::TypeText(const QString& text) {
  const std::u16string u(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
  for (unsigned char c : FromUtf16(u, CodePage(), true)) Send(WM_CHAR, c);
}

// A key goes down to the memo, then the character it makes, as the keyboard of the memo's
// design delivers them: Ctrl with a letter makes a control character, Enter CR, Tab a tab.
void StyledMemoWidget::keyPressEvent(QKeyEvent* event) {
  Qt::KeyboardModifiers mods = event->modifiers();
  const QString text = event->text();
  const bool printable = !text.isEmpty() && text.at(0).unicode() >= 32 && text.at(0).unicode() != 127;
  // AltGr is no Alt: the keyboard reports it as a group switch, or as Ctrl and Alt together,
  // and the character it makes is text.
  if (printable &&
      ((mods & Qt::GroupSwitchModifier) || ((mods & Qt::ControlModifier) && (mods & Qt::AltModifier))))
    mods &= ~(Qt::ControlModifier | Qt::AltModifier | Qt::GroupSwitchModifier);
  const int key = event->key();
  QString chars = printable ? text : QString();
  const bool ctrl = (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier);
  if (ctrl && key >= Qt::Key_A && key <= Qt::Key_Z)
    chars = QChar(static_cast<char16_t>(key - Qt::Key_A + 1));
  else if (key == Qt::Key_Return || key == Qt::Key_Enter)
    chars = ctrl ? QStringLiteral("\n") : QStringLiteral("\r");
  else if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
    chars = QStringLiteral("\t");
  else if (key == Qt::Key_Backspace)
    chars = QStringLiteral("\b");
  else if (key == Qt::Key_Escape)
    chars = QStringLiteral("\x1b");
  try {
    Send(WM_KEYDOWN, MemoKey(key), ShiftOf(mods));
    if (!chars.isEmpty()) TypeText(chars);
  } catch (const std::exception& e) {
    qWarning("%s", e.what());  // Ctrl+E found the text inconsistent
  }
  event->accept();
}

void StyledMemoWidget::keyReleaseEvent(QKeyEvent* event) {
  // A held key repeats without coming up in between.
  if (!event->isAutoRepeat()) Send(WM_KEYUP, MemoKey(event->key()), ShiftOf(event->modifiers()));
  event->accept();
}

// Text an input method composed (dead keys, compose sequences) arrives committed.
void StyledMemoWidget::inputMethodEvent(QInputMethodEvent* event) {
  if (!event->commitString().isEmpty()) TypeText(event->commitString());
  event->accept();
}

QVariant StyledMemoWidget::inputMethodQuery(Qt::InputMethodQuery query) const {
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle:
      return caretRect_;
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
}

bool StyledMemoWidget::viewportEvent(QEvent* event) {
  const bool handled = QAbstractScrollArea::viewportEvent(event);
  if (event->type() == QEvent::Resize) Send(WM_SIZE);
  return handled;
}

void StyledMemoWidget::paintEvent(QPaintEvent* event) {
  ShowScrollBarPolicies();
  QPainter painter(viewport());
  const qreal dpr = viewport()->devicePixelRatioF();
  {
    QtDrawSurface surface(fonts_, palette(), &painter, &lineImage_, dpr);
    TMemoPaint paint{
        &surface,
        {event->rect().left(), event->rect().top(), event->rect().right() + 1, event->rect().bottom() + 1}};
    Send(WM_PAINT, reinterpret_cast<uintptr_t>(&paint));
  }
  if (CaretVisible() && event->rect().intersects(caretRect_)) {
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.fillRect(caretRect_, Qt::white);
  }
}

void StyledMemoWidget::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  Send(WM_SETFOCUS);
}

void StyledMemoWidget::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  Send(WM_KILLFOCUS);
}

void StyledMemoWidget::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta != 0) Send(WM_MOUSEWHEEL, 0, delta);
  event->accept();
}

// Mouse events go to the memo as its messages: the shift state with the buttons held, the
// point in the viewport's pixels.
void StyledMemoWidget::SendMouse(uint32_t msg, QMouseEvent* event) {
  TShiftState shift = ShiftOf(event->modifiers());
  if (event->buttons() & Qt::LeftButton) shift |= ssLeft;
  if (event->buttons() & Qt::RightButton) shift |= ssRight;
  const QPoint p = event->position().toPoint();
  Send(msg, shift, PointParam(p.x(), p.y()));
  event->accept();
}

void StyledMemoWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    SendMouse(WM_LBUTTONDOWN, event);
  else if (event->button() == Qt::RightButton)
    SendMouse(WM_RBUTTONDOWN, event);
  else
    event->ignore();
}

void StyledMemoWidget::mouseMoveEvent(QMouseEvent* event) {
  SendMouse(WM_MOUSEMOVE, event);
}

// The right button's release shows the memo's own menu where it came up.
void StyledMemoWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    SendMouse(WM_LBUTTONUP, event);
  else if (event->button() == Qt::RightButton)
    SendMouse(WM_RBUTTONUP, event);
  else
    event->ignore();
}

// The second press of a double click.
void StyledMemoWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    SendMouse(WM_LBUTTONDBLCLK, event);
  else
    mousePressEvent(event);
}

namespace {

// An arrow pointing up and to the right, the mirror of the usual pointer: beside the lines.
QCursor RightArrowCursor() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QPointF arrow[] = {{14, 1}, {14, 12}, {11, 9}, {8, 14}, {6, 13}, {9, 8}, {4, 8}};
  p.setPen(Qt::white);
  p.setBrush(Qt::black);
  p.drawPolygon(arrow, 7);
  p.end();
  return QCursor(pm, 14, 1);
}

Qt::CursorShape ShapeOf(TMemoCursor c) {
  switch (c) {
    case crArrow:
      return Qt::ArrowCursor;
    case crCross:
      return Qt::CrossCursor;
    case crSizeWE:
      return Qt::SizeHorCursor;
    case crUpArrow:
      return Qt::UpArrowCursor;
    case crHourGlass:
      return Qt::WaitCursor;
    case crDrag:
      return Qt::DragMoveCursor;
    case crMemoDragCopy:
      return Qt::DragCopyCursor;
    case crNoDrop:
    case crNo:
      return Qt::ForbiddenCursor;
    case crHelp:
      return Qt::WhatsThisCursor;
    case crHandPoint:
      return Qt::PointingHandCursor;
    default:
      return Qt::IBeamCursor;  // the text's own, crIBeam included
  }
}

}  // namespace

void StyledMemoWidget::SetCursor(TMemoCursor cursor) {
  if (cursor == crMemoRightArrow) {
    static const QCursor right = RightArrowCursor();
    viewport()->setCursor(right);
  } else {
    viewport()->setCursor(ShapeOf(cursor));
  }
}

// The memo opens its menu itself (right-button release, context-menu key): the desktop's
// request goes no further, so no other widget opens one as well.
void StyledMemoWidget::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
}

void StyledMemoWidget::scrollContentsBy(int, int) {}

// The bar's own move is replaced by where the memo puts the view.
void StyledMemoWidget::ScrollAction(TScrollBarKind bar, int action) {
  QScrollBar* sb = bar == sbVertical ? verticalScrollBar() : horizontalScrollBar();
  uintptr_t code;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      code = SB_LINEDOWN;
      break;
    case QAbstractSlider::SliderSingleStepSub:
      code = SB_LINEUP;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = SB_PAGEDOWN;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = SB_PAGEUP;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = SB_TOP;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = SB_BOTTOM;
      break;
    case QAbstractSlider::SliderMove:
      code = SB_THUMBTRACK;
      break;
    default:
      return;
  }
  const int wanted = sb->sliderPosition();
  Send(bar == sbVertical ? WM_VSCROLL : WM_HSCROLL, code, wanted);
  sb->setSliderPosition(sb->value());  // where the memo put it
}

// ---- the memo's window ----

int32_t StyledMemoWidget::ClientWidth() {
  return viewport()->width();
}

int32_t StyledMemoWidget::ClientHeight() {
  return viewport()->height();
}

void StyledMemoWidget::InvalidateBand(int32_t top, int32_t bottom) {
  if (bottom > top) viewport()->update(0, top, viewport()->width(), bottom - top);
}

void StyledMemoWidget::ScrollWindow(int32_t dx, int32_t dy, const TRect& rect) {
  const QRect r(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top);
  viewport()->scroll(dx, dy, r);
  // The caret's pixels went along: where they landed and where it is are painted again.
  if (caretCreated_) {
    viewport()->update(caretRect_.translated(dx, dy));
    viewport()->update(caretRect_);
  }
}

void StyledMemoWidget::UpdateNow() {
  if (isVisible()) QCoreApplication::sendPostedEvents(window(), QEvent::UpdateRequest);
}

void StyledMemoWidget::SetScrollRange(TScrollBarKind bar, int32_t max, int32_t page) {
  QScrollBar* sb = bar == sbVertical ? verticalScrollBar() : horizontalScrollBar();
  // Not blocked: an as-needed bar shows or hides on the range's change signal. A value the
  // new range clamps moves nothing (scrollContentsBy), and the memo sets the position next.
  sb->setRange(0, std::max(max - page + 1, 0));
  sb->setPageStep(std::max(page, 1));
  sb->setSingleStep(1);
  ShowScrollBarPolicies();
}

void StyledMemoWidget::SetScrollPos(TScrollBarKind bar, int32_t pos) {
  QScrollBar* sb = bar == sbVertical ? verticalScrollBar() : horizontalScrollBar();
  const QSignalBlocker block(sb);
  sb->setValue(pos);
}

int32_t StyledMemoWidget::WheelScrollLines() {
  return QApplication::wheelScrollLines();
}

void StyledMemoWidget::CreateCaret(int32_t width, int32_t height) {
  viewport()->update(caretRect_);
  caretCreated_ = true;
  caretOn_ = true;
  caretRect_.setSize(QSize(std::max(width, 1), std::max(height, 1)));
  viewport()->update(caretRect_);
  const int flash = QApplication::cursorFlashTime();
  if (flash > 0)
    blink_.start(flash / 2);
  else
    blink_.stop();
}

void StyledMemoWidget::DestroyCaret() {
  blink_.stop();
  caretCreated_ = false;
  viewport()->update(caretRect_);
}

void StyledMemoWidget::SetCaretPos(int32_t x, int32_t y) {
  if (caretRect_.topLeft() == QPoint(x, y)) return;
  viewport()->update(caretRect_);
  caretRect_.moveTo(x, y);
  caretOn_ = true;  // a moved caret shows at once
  if (blink_.isActive()) blink_.start();
  viewport()->update(caretRect_);
}

void StyledMemoWidget::BlinkCaret() {
  caretOn_ = !caretOn_;
  viewport()->update(caretRect_);
}

void StyledMemoWidget::StartTimer(uint32_t id, uint32_t intervalMs) {
  std::unique_ptr<QTimer>& t = timers_[id];
  if (!t) {
    t = std::make_unique<QTimer>();
    t->setTimerType(Qt::PreciseTimer);
    connect(t.get(), &QTimer::timeout, this, [this, id] { Send(WM_TIMER, id); });
  }
  if (!t->isActive()) t->start(static_cast<int>(intervalMs));
}

void StyledMemoWidget::StopTimer(uint32_t id) {
  if (auto it = timers_.find(id); it != timers_.end()) it->second->stop();
}

// The memo's own menu, built from its table; a chosen item's tag goes back to the memo.
void StyledMemoWidget::ShowPopupMenu(const TMemoPopupMenu& menu, TPoint at) {
  QMenu qmenu(this);
  qmenu.setObjectName(QStringLiteral("InternalPopup"));
  for (const TMemoPopupItem& item : menu.Items) {
    if (item.Caption == "-") {
      qmenu.addSeparator();
      continue;
    }
    QAction* action = qmenu.addAction(QString::fromStdString(item.Caption));
    action->setData(item.Tag);
    action->setEnabled(item.Enabled);
  }
  QAction* chosen = qmenu.exec(viewport()->mapToGlobal(QPoint(at.x, at.y)));
  if (chosen) PopupClickHandler(chosen->data().toInt());
}

// From the format thread: posting is safe from any thread and never waits. The widget lets
// the thread go before it goes itself, and a request still queued then is dropped with it.
void StyledMemoWidget::PostFormatRequest(uintptr_t token) {
  QCoreApplication::postEvent(this, new TFormatRequestEvent(token));
}

bool StyledMemoWidget::ApplicationTerminating() {
  return QCoreApplication::closingDown();
}

}  // namespace vestrel
