#include "check/timing_check_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "check/timing_chart.h"
#include "check/timing_check.h"
#include "ui/qt_services.h"

namespace check {

TimingCheckDialog::TimingCheckDialog(const std::string& report, const QImage& charts,
                                     const std::string& saved, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("Timing Check"));
  auto* layout = new QVBoxLayout(this);
  report_ = new QPlainTextEdit(QString::fromStdString(report), this);
  report_->setReadOnly(true);
  report_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  report_->setLineWrapMode(QPlainTextEdit::NoWrap);
  report_->setMinimumSize(760, 420);
  layout->addWidget(report_);
  auto* picture = new QLabel(this);
  picture->setPixmap(QPixmap::fromImage(charts.scaledToWidth(760, Qt::SmoothTransformation)));
  layout->addWidget(picture);
  auto* where = new QLabel(QString::fromStdString(saved), this);
  where->setTextFormat(Qt::PlainText);
  where->setWordWrap(true);
  layout->addWidget(where);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  buttons->button(QDialogButtonBox::Ok)->setFocus();
}

void RunTimingCheckFromMenu(QWidget* owner) {
  std::string stamp;
  LocalStamp(&stamp, nullptr);
  const TimingCheck check = RunTimingCheck(CheckOptions{}, ui::HandleOf(owner));
  const Verdict verdict = Judge(check);
  const std::string report = FormatReport(check, verdict);
  std::string textPath, pngPath, error;
  const std::string saved = SaveTimingCheck(check, report, stamp, &textPath, &pngPath, &error)
                                ? "Saved as " + textPath + " and " + pngPath + "."
                                : error + "; the report was not saved.";
  TimingCheckDialog dialog(report, RenderTimingCharts(check), saved, owner);
  dialog.exec();
}

}  // namespace check
