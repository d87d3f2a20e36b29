#include "check/timing_check_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "check/timing_chart.h"
#include "ui/qt_services.h"

namespace check {
namespace {

// Leaves room for a desktop panel and the window's frame on a 1024 x 768 screen.
constexpr int kMaxWidth = 960;
constexpr int kMaxHeight = 680;

QLabel* MakeVerdict(const Verdict& verdict, int failed, int warnings, QWidget* parent) {
  QString text = verdict.pass ? TimingCheckDialog::tr(
                                    "Verdict: PASS. Every reaction time was within [-1, +3] ms of "
                                    "the truth and every frame met its refresh.")
                              : TimingCheckDialog::tr(
                                    "Verdict: FAIL. %n of the figures below fail; the table says "
                                    "what to do about each.",
                                    nullptr, failed);
  if (verdict.pass && warnings > 0)
    text += TimingCheckDialog::tr(" The warnings below are worth putting right all the same.");
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("verdict"));
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  QFont font = label->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.25);
  label->setFont(font);
  label->setStyleSheet(verdict.pass ? QStringLiteral("color: #1a6e1a")
                                    : QStringLiteral("color: #b01010"));
  return label;
}

QTableWidget* MakeAdviceTable(const std::vector<FigureAdvice>& rows, QWidget* parent) {
  auto* table = new QTableWidget(static_cast<int>(rows.size()), 4, parent);
  table->setObjectName(QStringLiteral("advice"));
  table->setHorizontalHeaderLabels({TimingCheckDialog::tr("Figure"),
                                    TimingCheckDialog::tr("Measured"), QString(),
                                    TimingCheckDialog::tr("What to do")});
  for (int r = 0; r < table->rowCount(); ++r) {
    const FigureAdvice& a = rows[static_cast<size_t>(r)];
    const QStringList cells{
        QString::fromStdString(a.figure), QString::fromStdString(a.value),
        a.fails ? TimingCheckDialog::tr("fails") : TimingCheckDialog::tr("warning"),
        QString::fromStdString(a.advice)};
    for (int c = 0; c < cells.size(); ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      if (c == 2) item->setForeground(a.fails ? QColor(0xB0, 0x10, 0x10) : QColor(0x9A, 0x60, 0));
      table->setItem(r, c, item);
    }
  }
  table->verticalHeader()->hide();
  table->setWordWrap(true);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  table->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
  table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  table->setMinimumHeight(120);
  table->setMaximumHeight(260);
  return table;
}

QWidget* MakeChartsPage(const std::vector<QImage>& charts, std::vector<QLabel*>* labels) {
  auto* scroll = new QScrollArea;
  auto* inside = new QWidget;
  auto* column = new QVBoxLayout(inside);
  for (const QImage& chart : charts) {
    auto* label = new QLabel(inside);
    label->setPixmap(QPixmap::fromImage(chart));
    column->addWidget(label, 0, Qt::AlignHCenter);
    labels->push_back(label);
  }
  scroll->setWidget(inside);
  scroll->setWidgetResizable(true);
  return scroll;
}

}  // namespace

TimingCheckDialog::TimingCheckDialog(const Verdict& verdict,
                                     const std::vector<FigureAdvice>& advice,
                                     const std::string& report, const std::vector<QImage>& charts,
                                     const std::string& saved, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(tr("Timing Check"));
  // Only a close box: a dialog has nothing to minimise or maximise.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(true);
  int failed = 0;
  for (const FigureAdvice& a : advice) failed += a.fails ? 1 : 0;
  auto* layout = new QVBoxLayout(this);
  verdict_ = MakeVerdict(verdict, failed, static_cast<int>(advice.size()) - failed, this);
  layout->addWidget(verdict_);
  if (!advice.empty()) {
    advice_ = MakeAdviceTable(advice, this);
    layout->addWidget(advice_);
  }
  auto* tabs = new QTabWidget(this);
  tabs->addTab(MakeChartsPage(charts, &charts_), tr("Charts"));
  report_ = new QPlainTextEdit(QString::fromStdString(report), tabs);
  report_->setReadOnly(true);
  report_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  report_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  tabs->addTab(report_, tr("Report"));
  layout->addWidget(tabs, 1);
  auto* where = new QLabel(QString::fromStdString(saved), this);
  where->setTextFormat(Qt::PlainText);
  where->setWordWrap(true);
  layout->addWidget(where);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  buttons->button(QDialogButtonBox::Ok)->setFocus();

  QSize size(kMaxWidth, kMaxHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    size = size.boundedTo(screen->availableGeometry().size() - QSize(40, 60));
  resize(size);
}

void RunTimingCheckFromMenu(QWidget* owner, const CheckOptions& options) {
  if (!ConfirmTimingCheck(options, ui::HandleOf(owner))) return;
  std::string stamp;
  LocalStamp(&stamp, nullptr);
  const TimingCheck check = RunTimingCheck(options, ui::HandleOf(owner));
  const Verdict verdict = Judge(check);
  const std::string report = FormatReport(check, verdict);
  std::string textPath, pngPath, error;
  const std::string saved =
      SaveTimingCheck(check, report, stamp, &textPath, &pngPath, &error)
          ? TimingCheckDialog::tr("Saved as %1 and %2.")
                .arg(QString::fromStdString(textPath), QString::fromStdString(pngPath))
                .toStdString()
          : TimingCheckDialog::tr("%1; the report was not saved.")
                .arg(QString::fromStdString(error))
                .toStdString();
  TimingCheckDialog dialog(verdict, AdviseOnFigures(check), report, RenderTimingChartImages(check),
                           saved, owner);
  dialog.exec();
}

}  // namespace check
