#include "web/CHyperLink.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"
#include "platform/UiThread.h"

CHyperLink::CHyperLink(QWidget* parent) : QLabel(parent) {}

CHyperLink::~CHyperLink() { m_workers.JoinAll(); }

void CHyperLink::PreSubclassWindow() {
  if (m_strTarget.empty()) m_strTarget = text().toStdString();
  if (text().isEmpty()) setText(QString::fromStdString(m_strTarget));
  m_fontPlain = font();
  m_fontUnderlined = font();
  m_fontUnderlined.setUnderline(true);
  m_bound = true;
  FitToText();
  setCursor(m_hHandCursor);
  // Mode -1 changes nothing until the mouse first enters.
  if (m_nUnderlineMode == 1) SelectFont(true);
  setToolTip(QString::fromStdString(m_strTarget));
}

void CHyperLink::SetTarget(const std::string& target) {
  m_strTarget = target;
  if (m_bound) {
    FitToText();
    setToolTip(QString::fromStdString(m_strTarget));
  }
}

void CHyperLink::SetLinkColours(const QColor& link, const QColor& visited, const QColor& hover) {
  m_crLink = link;
  m_crVisited = visited;
  m_crHover = hover.isValid() ? hover : QApplication::palette().color(QPalette::Highlight);
  update();
}

void CHyperLink::SetWasVisited(bool visited) {
  m_bWasVisited = visited;
  update();
}

void CHyperLink::SetHandCursor(const QCursor& cursor) {
  m_hHandCursor = cursor;
  if (m_bound) setCursor(m_hHandCursor);
}

void CHyperLink::SetUnderlineMode(int mode) {
  if (mode != m_nUnderlineMode && m_bound) {
    SelectFont(mode == 1);
    update();
  }
  m_nUnderlineMode = mode;
}

void CHyperLink::SetAutoSize(bool autoSize) {
  m_bAutoSize = autoSize;
  FitToText();
}

QColor CHyperLink::CurrentTextColour() const {
  if (m_bHover) return m_crHover;
  return m_bWasVisited ? m_crVisited : m_crLink;
}

void CHyperLink::SelectFont(bool underlined) {
  m_currentUnderlined = underlined;
  setFont(underlined ? m_fontUnderlined : m_fontPlain);
}

void CHyperLink::FitToText() {
  if (!m_bAutoSize || !m_bound) return;
  const QFontMetrics metrics(font());
  const int tw = metrics.horizontalAdvance(text());
  const int th = metrics.height();
  QRect r = geometry();
  const Qt::Alignment a = alignment();
  if (a & Qt::AlignVCenter)
    r.adjust(0, (r.height() - th) / 2, 0, -((r.height() - th) / 2));
  else
    r.setHeight(th);
  if (a & Qt::AlignHCenter) {
    const int d = (r.width() - tw) / 2;
    r.adjust(d, 0, -d, 0);
  } else if (a & Qt::AlignRight) {
    r.setLeft(r.right() + 1 - tw);
  } else {
    r.setWidth(tw);
  }
  setGeometry(r);
}

void CHyperLink::enterEvent(QEnterEvent* event) {
  if (!m_bHover) {
    m_bHover = true;
    if (m_nUnderlineMode == -1) SelectFont(true);
    update();
  }
  QLabel::enterEvent(event);
}

void CHyperLink::leaveEvent(QEvent* event) {
  if (m_bHover) {
    m_bHover = false;
    if (m_nUnderlineMode != 1) SelectFont(false);
    update();
  }
  QLabel::leaveEvent(event);
}

void CHyperLink::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) m_pressed = true;
  QLabel::mousePressEvent(event);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  m_pressed = false;
  QLabel::mouseReleaseEvent(event);
  if (click) OnClicked();
}

void CHyperLink::OnClicked() {
  m_bHover = false;
  update();
  // The opener may take seconds to report; the user-interface thread does not wait for it.
  const std::string target = m_strTarget;
  const bool started = m_workers.Start([this, target] {
    const int r = OpenTarget(target);
    PostToUi(this, [this, r] { OnOpened(r); });
  });
  if (!started) OnOpened(SE_ERR_OOM_RESOURCES);
}

void CHyperLink::OnOpened(int r) {
  m_bWasVisited = r > 32;
  if (r > 32) {
    SetWasVisited(true);
  } else {
    update();
    QApplication::beep();
    AfxMessageBox("Unable to open hyperlink:\n\n" + ErrorText(r), MB_ICONEXCLAMATION, {}, window());
  }
  emit opened(r > 32);
}

void CHyperLink::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), BackgroundColour());
  p.setPen(CurrentTextColour());
  p.setFont(font());
  p.drawText(rect(), static_cast<int>(alignment()) | Qt::TextSingleLine, text());
}

int CHyperLink::OpenTarget(const std::string& address) {
  const int r = ShellOpen(address);
  if (r > 32) return r;
  const std::string command = DefaultHtmlHandlerCommand();
  if (command.empty()) return r;
  return StartProgram(HandlerArguments(command, address));
}

std::string CHyperLink::ErrorText(int r) {
  switch (r) {
    case 0: return "The operating system is out\nof memory or resources.";
    case 2: return "The specified file was not found.";
    case 3: return "The specified path was not found.";
    case 5: return "The operating system denied\naccess to the specified file.";
    case 8: return "There was not enough memory to complete the operation.";
    case 11: return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    case 26: return "A sharing violation occurred. ";
    case 27: return "The filename association is\nincomplete or invalid.";
    case 28: return "The DDE transaction could not\nbe completed because the request timed out.";
    case 29: return "The DDE transaction failed.";
    case 30:
      return "The DDE transaction could not\nbe completed because other DDE transactions\n"
             "were being processed.";
    case 31: return "There is no application associated\nwith the given filename extension.";
    case 32: return "The specified dynamic-link library was not found.";
    default: return "Unknown Error (" + std::to_string(r) + ") occurred.";
  }
}
