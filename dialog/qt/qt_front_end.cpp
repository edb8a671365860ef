#include "dialog/qt/qt_front_end.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "dialog/dialog_template.h"

namespace {

struct ControlRow {
  int id;
  std::string_view window_class;
  const char* text;
  unsigned long style;
  int x;
  int y;
  int width;
  int height;
};

std::vector<ControlRow> template_controls(const ProgramRow& program) {
#define TOOL_QT_CONTROL_ROW(id, window_class, text, style, x, y, width, height) \
  ControlRow{id, window_class, text, static_cast<unsigned long>(style), x, y, width, height},
  return {TOOL_DIALOG_CONTROLS(TOOL_QT_CONTROL_ROW, program.second_label)};
#undef TOOL_QT_CONTROL_ROW
}

// value * numerator / denominator, rounded half away from zero, as the system's MulDiv.
int mul_div(int value, int numerator, int denominator) {
  const std::int64_t product = std::int64_t{value} * numerator;
  const std::int64_t half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

QWidget* create_static(const ControlRow& row, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(QString::fromLocal8Bit(row.text));
  Qt::Alignment horizontal = Qt::AlignLeft;
  if (row.style & TOOL_SS_CENTER) horizontal = Qt::AlignHCenter;
  if (row.style & TOOL_SS_RIGHT) horizontal = Qt::AlignRight;
  label->setAlignment(horizontal | ((row.style & TOOL_SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop));
  if (row.style & TOOL_SS_SUNKEN) {
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
  }
  return label;
}

QWidget* create_control(const ControlRow& row, QWidget* parent) {
  if (row.window_class == "Static") return create_static(row, parent);
  if (row.window_class == "Edit") {
    auto* edit = new QLineEdit(parent);
    edit->setText(QString::fromLocal8Bit(row.text));
    return edit;
  }
  assert(row.window_class == "Button");
  auto* button = new QPushButton(QString::fromLocal8Bit(row.text), parent);
  button->setDefault((row.style & TOOL_BS_DEFPUSHBUTTON) != 0);
  return button;
}

struct NameFilters {
  QStringList filters;       // as QFileDialog takes them
  QStringList descriptions;  // as the user sees them
};

// A filter list of description and pattern strings, each NUL-terminated, ended by one more NUL.
// Each pair becomes "description (patterns)", with the patterns separated by spaces as Qt wants
// them; the dialog hides that last parenthesis, so the user sees the description as the list gives
// it. "*.*" names every file on Windows, with or without a dot, so it becomes "*".
NameFilters parse_filter_list(const char* list) {
  NameFilters result;
  const char* at = list;
  while (at != nullptr && *at != '\0') {
    const QString description = QString::fromLocal8Bit(at);
    at += std::strlen(at) + 1;
    QStringList patterns = QString::fromLocal8Bit(at).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    at += std::strlen(at) + 1;
    for (QString& pattern : patterns) {
      if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    }
    result.filters.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    result.descriptions.append(description);
  }
  return result;
}

// The 1-based position of the filter the dialog shows; Qt versions differ in whether they report
// the whole filter or the shown description.
std::uint32_t selected_position(const QFileDialog& dialog, const NameFilters& names) {
  const QString selected = dialog.selectedNameFilter();
  for (qsizetype i = 0; i < names.filters.size(); ++i) {
    if (selected == names.filters[i] || selected == names.descriptions[i]) return static_cast<std::uint32_t>(i + 1);
  }
  return 1;
}

}  // namespace

QFont dialog_font() {
  QFont font;
  if (QFontDatabase::hasFamily(QString::fromLatin1(TOOL_DIALOG_FONT_NAME))) {
    font.setFamily(QString::fromLatin1(TOOL_DIALOG_FONT_NAME));
  } else {
    font.setFamily(QStringLiteral("sans-serif"));
    font.setStyleHint(QFont::SansSerif);
  }
  font.setPointSize(TOOL_DIALOG_FONT_POINTS);
  font.setWeight(QFont::Weight(TOOL_DIALOG_FONT_WEIGHT));
  font.setItalic(TOOL_DIALOG_FONT_ITALIC != 0);
  return font;
}

DialogBaseUnits dialog_base_units(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect dialog_units_to_pixels(DialogBaseUnits base, int x, int y, int width, int height) {
  return QRect(mul_div(x, base.x, 4), mul_div(y, base.y, 8), mul_div(width, base.x, 4), mul_div(height, base.y, 8));
}

QtFrontEnd::QtFrontEnd(const ProgramRow& program, DialogJob job)
    // A caption, a system menu with close and a minimise box; no maximise box and no sizing.
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      tool_(program, job, *this) {
  setWindowTitle(QString::fromLocal8Bit(program.name));
  setFont(dialog_font());
  const DialogBaseUnits base = dialog_base_units(font());
  setFixedSize(
      dialog_units_to_pixels(base, TOOL_DIALOG_X, TOOL_DIALOG_Y, TOOL_DIALOG_WIDTH, TOOL_DIALOG_HEIGHT).size());

  QWidget* previous_tab_stop = nullptr;
  for (const ControlRow& row : template_controls(program)) {
    QWidget* widget = create_control(row, this);
    widget->setGeometry(dialog_units_to_pixels(base, row.x, row.y, row.width, row.height));
    widget->setProperty(control_id_property, row.id);
    if (row.style & TOOL_WS_TABSTOP) {
      widget->setFocusPolicy(Qt::StrongFocus);
      if (previous_tab_stop != nullptr) setTabOrder(previous_tab_stop, widget);
      previous_tab_stop = widget;
    } else {
      widget->setFocusPolicy(Qt::NoFocus);
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      const int id = row.id;
      connect(button, &QPushButton::clicked, this,
              [this, id] { tool_.procedure(dialog_message::command, static_cast<std::uintptr_t>(id)); });
    }
    controls_.push_back(widget);
  }
}

QWidget* QtFrontEnd::control(int id) const {
  for (QWidget* widget : controls_) {
    if (widget->property(control_id_property).toInt() == id) return widget;
  }
  return nullptr;
}

std::string QtFrontEnd::control_text(int id) {
  QString text;
  if (const QWidget* widget = control(id)) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
      text = edit->text();
    } else if (const auto* label = qobject_cast<const QLabel*>(widget)) {
      text = label->text();
    } else if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
      text = button->text();
    }
  }
  return text.toLocal8Bit().toStdString();
}

void QtFrontEnd::set_control_text(int id, const char* text) {
  QWidget* widget = control(id);
  if (widget == nullptr) return;
  const QString value = QString::fromLocal8Bit(text);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(value);
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(value);
    // A job runs inside the command and keeps the event loop waiting: paint now, so that "Saving"
    // is on screen while a long write runs.
    label->repaint();
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setText(value);
  }
}

bool QtFrontEnd::run_file_dialog(FileDialogKind kind, FileDialogRequest& request) {
  const NameFilters names = parse_filter_list(request.filter);
  QFileDialog dialog(this);
  // Qt's own dialog, set first as Qt asks: it shows the descriptions exactly as the filter list
  // gives them, and tests can drive it.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  // A name that does not exist is accepted by the open dialog too.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(kind == FileDialogKind::open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QString());
  dialog.setNameFilters(names.filters);
  if (!names.filters.isEmpty()) {
    const bool in_range =
        request.filter_index >= 1 && request.filter_index <= static_cast<std::size_t>(names.filters.size());
    dialog.selectNameFilter(names.filters[in_range ? request.filter_index - 1 : 0]);
  }

  const QString initial = QFile::decodeName(request.file);
  if (!initial.isEmpty()) {
    // A relative path is taken from the working directory, as the jobs open it.
    const QFileInfo info(initial);
    if (info.isDir()) {
      dialog.setDirectory(info.absoluteFilePath());
    } else {
      dialog.selectFile(info.absoluteFilePath());
    }
  }

  const bool accepted = dialog.exec() == QDialog::Accepted;
  if (!names.filters.isEmpty()) request.filter_index = selected_position(dialog, names);
  if (!accepted) return false;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  const QByteArray path = QFile::encodeName(files.first());
  // A path that does not fit would name another file once cut: the dialog counts as failed.
  if (path.isEmpty() || static_cast<std::size_t>(path.size()) >= request.max_file) return false;
  std::memcpy(request.file, path.constData(), static_cast<std::size_t>(path.size()) + 1);
  return true;
}

void QtFrontEnd::show_information(const char* caption, const char* text) {
  QString body = QString::fromLocal8Bit(text);
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::Information, QString::fromLocal8Bit(caption), body, QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void QtFrontEnd::end_dialog(int result) { done(result); }

void QtFrontEnd::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Centred once, as the system centres a dialog when it creates it. The frame is known only once
  // the window exists, just before it first shows.
  if (centred_) return;
  centred_ = true;
  if (const QScreen* screen = this->screen()) {
    const QRect frame = frameGeometry();
    const QPoint centre = screen->availableGeometry().center();
    move(centre.x() - frame.width() / 2, centre.y() - frame.height() / 2);
  }
}

void QtFrontEnd::keyPressEvent(QKeyEvent* event) {
  // Alt+F4 closes the window as the system menu's Close does; where a window manager takes the
  // key for itself, its close request arrives through closeEvent instead.
  if (event->key() == Qt::Key_F4 && event->modifiers() == Qt::AltModifier) {
    close();
    return;
  }
  QDialog::keyPressEvent(event);
}

void QtFrontEnd::closeEvent(QCloseEvent* event) {
  tool_.procedure(dialog_message::close, 0);
  // The procedure ends the dialog; the window goes only if it did.
  event->setAccepted(!isVisible());
}

int run_tool_dialog(const ProgramRow& program, DialogJob job) {
  QtFrontEnd dialog(program, job);
  return dialog.exec();
}
