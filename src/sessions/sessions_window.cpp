#include "sessions/sessions_window.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <set>
#include <utility>

#include "dialogs/side_by_side.h"
#include "fileio/safe_file.h"
#include "records/session_export.h"
#include "records/sessions_table.h"
#include "sessions/session_charts.h"
#include "sessions/session_table.h"
#include "ui/services.h"

namespace sessions {
namespace {

SaveFileChooser saveFileChooser;

// The window's first size and its least, within a 1024 x 768 screen less
// the frame and title bar the window manager adds; a chart's least size.
constexpr QSize kFirstSize(1000, 700);
constexpr QSize kLeastSize(720, 520);
constexpr QSize kFrame(16, 48);
constexpr QSize kLeastChart(240, 160);
constexpr int kStatusMinWidth = 120;

QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& proposed,
                       const QString& filter) {
  if (saveFileChooser) return saveFileChooser(parent, caption, proposed, filter);
  // The files written are not always the one chosen: whoever calls asks
  // about the ones that would be replaced.
  return QFileDialog::getSaveFileName(parent, caption, proposed, filter, nullptr,
                                      QFileDialog::DontConfirmOverwrite);
}

QChartView* MakeChartView(QWidget* parent) {
  auto* chart = new QChart;
  chart->legend()->setAlignment(Qt::AlignBottom);
  auto* view = new QChartView(chart, parent);
  view->setRenderHint(QPainter::Antialiasing);
  // Small enough for the window to fit a 1024 x 768 screen; the charts take
  // whatever room the window has beyond that.
  view->setMinimumSize(kLeastChart);
  return view;
}

}  // namespace

SaveFileChooser SetSaveFileChooser(SaveFileChooser chooser) {
  return std::exchange(saveFileChooser, std::move(chooser));
}

void ExportPaths(const QString& chosen, QString* trials, QString* touches) {
  QString stem = chosen;
  for (const char* end : {"-trials.csv", "-touches.csv", results::kSessionsTableSuffix, ".csv"}) {
    if (stem.endsWith(QLatin1String(end), Qt::CaseInsensitive)) {
      stem.chop(static_cast<int>(qstrlen(end)));
      break;
    }
  }
  *trials = stem + QStringLiteral("-trials.csv");
  *touches = stem + QStringLiteral("-touches.csv");
}

QString TablePath(const QString& chosen) {
  QString trials;
  QString touches;
  ExportPaths(chosen, &trials, &touches);
  trials.chop(static_cast<int>(qstrlen("-trials.csv")));
  return trials + QLatin1String(results::kSessionsTableSuffix);
}

CSessions::CSessions(const QString& folder, QWidget* parent) : QDialog(parent), folder_(folder) {
  setWindowTitle(tr("Sessions"));
  setSizeGripEnabled(true);
  QLayout* filters = BuildFilters();
  QWidget* table = BuildTable();
  QWidget* charts = BuildCharts();
  auto* splitter = new QSplitter(Qt::Vertical, this);
  splitter->addWidget(table);
  splitter->addWidget(charts);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);
  QLayout* buttons = BuildButtons();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(splitter, 1);
  layout->addLayout(buttons);
  ConnectParts();
  DrawNothing(Staircase(), tr("Reading the sessions…"));
  DrawNothing(Distribution(), QString());
  FitScreen();
  StartReading();
}

QLayout* CSessions::BuildFilters() {
  subject_ = new QLineEdit(this);
  subject_->setPlaceholderText(tr("any"));
  subject_->setClearButtonEnabled(true);
  memtime_ = new QComboBox(this);
  maxRev_ = new QComboBox(this);
  FillSettingFilter(memtime_, {});
  FillSettingFilter(maxRev_, {});
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 0);  // busy until the folder has been counted
  auto* filters = new QHBoxLayout;
  filters->addWidget(new QLabel(tr("Subject:"), this));
  filters->addWidget(subject_, 2);
  filters->addWidget(new QLabel(tr("memtime:"), this));
  filters->addWidget(memtime_);
  filters->addWidget(new QLabel(tr("max_rev:"), this));
  filters->addWidget(maxRev_);
  AddOutcomeFilters(filters);
  filters->addStretch(1);
  filters->addWidget(progress_, 1);
  // A folder another user filled can take long: what was read so far is shown.
  stopReading_ = new QPushButton(tr("Stop reading"), this);
  stopReading_->setAutoDefault(false);
  connect(stopReading_, &QPushButton::clicked, this, [this] { cancel_ = true; });
  filters->addWidget(stopReading_);
  return filters;
}

QWidget* CSessions::BuildTable() {
  model_ = new SessionTableModel(this);
  filter_ = new SessionFilter(this);
  filter_->setSourceModel(model_);
  table_ = new QTableView(this);
  table_->setModel(filter_);
  table_->setSortingEnabled(true);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setWordWrap(false);
  return table_;
}

QWidget* CSessions::BuildCharts() {
  staircaseView_ = MakeChartView(this);
  distributionView_ = MakeChartView(this);
  auto* charts = new QWidget(this);
  auto* chartRow = new QHBoxLayout(charts);
  chartRow->setContentsMargins(0, 0, 0, 0);
  chartRow->addWidget(staircaseView_, 3);
  chartRow->addWidget(distributionView_, 2);
  return charts;
}

QLayout* CSessions::BuildButtons() {
  status_ = new QLabel(tr("Reading %1…").arg(folder_), this);
  status_->setTextFormat(Qt::PlainText);
  // A long folder name or export message wraps, or is cut, rather than
  // pushing the buttons out of the window.
  status_->setWordWrap(true);
  status_->setMinimumWidth(kStatusMinWidth);
  savePicture_ = new QPushButton(tr("Save picture…"), this);
  export_ = new QPushButton(tr("Export…"), this);
  close_ = new QPushButton(tr("Close"), this);
  savePicture_->setAutoDefault(false);
  export_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(status_, 1);
  buttons->addWidget(savePicture_);
  buttons->addWidget(export_);
  buttons->addWidget(close_);
  return buttons;
}

void CSessions::ConnectParts() {
  connect(subject_, &QLineEdit::textChanged, this, [this] { ApplyFilters(); });
  connect(memtime_, &QComboBox::currentIndexChanged, this, [this] { ApplyFilters(); });
  connect(maxRev_, &QComboBox::currentIndexChanged, this, [this] { ApplyFilters(); });
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] { ShowSelected(); });
  connect(savePicture_, &QPushButton::clicked, this, [this] { ChooseAndSavePicture(); });
  connect(export_, &QPushButton::clicked, this, [this] { ChooseAndExport(); });
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

void CSessions::FitScreen() {
  // A 1024 x 768 screen with a desktop panel keeps the whole window, its
  // frame and title bar included, in view.
  // The screen of the window it opens over, where it has one.
  const QScreen* screen =
      parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  QSize size = kFirstSize;
  if (screen) size = size.boundedTo(screen->availableGeometry().size() - kFrame);
  setMinimumSize(kLeastSize.boundedTo(size));
  resize(size);
}

void CSessions::StartReading() {
  // Thousands of records take a moment; the window answers meanwhile.
  reader_.reset(QThread::create([this] {
    auto listings =
        std::make_shared<std::vector<results::SessionListing>>(results::LoadSessionFolder(
            folder_,
            [this](int done, int total) {
              QMetaObject::invokeMethod(
                  this,
                  [this, done, total] {
                    progress_->setRange(0, total);
                    progress_->setValue(done);
                  },
                  Qt::QueuedConnection);
            },
            &cancel_));
    QMetaObject::invokeMethod(
        this, [this, listings] { OnLoaded(std::move(*listings)); }, Qt::QueuedConnection);
  }));
  reader_->start();
}

CSessions::~CSessions() {
  cancel_ = true;
  reader_->wait();
}

QChart* CSessions::Staircase() const {
  return staircaseView_->chart();
}

QChart* CSessions::Distribution() const {
  return distributionView_->chart();
}

void CSessions::FillSettingFilter(QComboBox* box, const std::vector<int>& values) {
  const QSignalBlocker quiet(box);
  box->clear();
  box->addItem(tr("any"), QVariant());
  for (const int v : values) box->addItem(QString::number(v), v);
}

void CSessions::AddOutcomeFilters(QHBoxLayout* filters) {
  outcome_ = new QComboBox(this);
  outcome_->addItem(tr("All"), static_cast<int>(OutcomeFilter::kAll));
  outcome_->addItem(tr("Completed"), static_cast<int>(OutcomeFilter::kCompleted));
  outcome_->addItem(tr("Aborted"), static_cast<int>(OutcomeFilter::kAborted));
  showPractice_ = new QCheckBox(tr("Show practice"), this);
  filters->addWidget(new QLabel(tr("Outcome:"), this));
  filters->addWidget(outcome_);
  filters->addWidget(showPractice_);
  connect(outcome_, &QComboBox::currentIndexChanged, this, [this] { ApplyFilters(); });
  connect(showPractice_, &QCheckBox::toggled, this, [this] { ApplyFilters(); });
}

void CSessions::OnLoaded(std::vector<results::SessionListing> listings) {
  std::set<int> memtimes;
  std::set<int> maxRevs;
  for (const results::SessionListing& l : listings) {
    if (!l.readable) continue;
    memtimes.insert(l.memtime);
    maxRevs.insert(l.maxRev);
  }
  FillSettingFilter(memtime_, {memtimes.begin(), memtimes.end()});
  FillSettingFilter(maxRev_, {maxRevs.begin(), maxRevs.end()});
  model_->SetListings(std::move(listings));
  progress_->hide();
  stopReading_->hide();
  // Newest first: the session just run is the one wanted most often.
  table_->sortByColumn(kDate, Qt::DescendingOrder);
  // Measured on the first rows only: every row of a large folder would take seconds.
  table_->horizontalHeader()->setResizeContentsPrecision(50);
  table_->resizeColumnsToContents();
  loaded_ = true;
  ApplyFilters();
  emit loaded();
}

void CSessions::ApplyFilters() {
  filter_->SetFilters(subject_->text(), memtime_->currentData(), maxRev_->currentData());
  filter_->SetOutcomeFilter(static_cast<OutcomeFilter>(outcome_->currentData().toInt()),
                            showPractice_->isChecked());
  if (!table_->currentIndex().isValid() && filter_->rowCount() > 0) {
    table_->selectRow(0);
  }
  UpdateStatus();
  ShowSelected();
}

void CSessions::ShowSelected() {
  const QModelIndex current = filter_->mapToSource(table_->currentIndex());
  if (!current.isValid()) {
    DrawNothing(Staircase(), loaded_ ? tr("No session selected") : tr("Reading the sessions…"));
    DrawNothing(Distribution(), QString());
    return;
  }
  const results::SessionListing& l = model_->Listings()[static_cast<size_t>(current.row())];
  if (!l.readable) {
    DrawNothing(Staircase(), tr("%1 is unreadable: %2").arg(l.fileName, l.reason));
    DrawNothing(Distribution(), QString());
    return;
  }
  DrawStaircase(Staircase(), l);
  DrawDistribution(Distribution(), l, model_->Listings());
}

void CSessions::UpdateStatus() {
  if (!loaded_) return;
  int unreadable = 0;
  for (const results::SessionListing& l : model_->Listings()) unreadable += l.readable ? 0 : 1;
  QString text =
      tr("%1 of %n sessions listed", nullptr, static_cast<int>(model_->Listings().size()))
          .arg(filter_->rowCount());
  if (unreadable > 0) text += tr(", %1 unreadable").arg(unreadable);
  if (!lastExport_.isEmpty()) text = tr("%1. %2").arg(text, lastExport_);
  status_->setText(text);
}

std::vector<QString> CSessions::ListedPaths() const {
  std::vector<QString> paths;
  for (int row = 0; row < filter_->rowCount(); ++row) {
    const QModelIndex source = filter_->mapToSource(filter_->index(row, 0));
    const results::SessionListing& l = model_->Listings()[static_cast<size_t>(source.row())];
    if (l.readable) paths.push_back(l.path);
  }
  return paths;
}

bool CSessions::SavePicture(const QString& path) {
  // A chart lays out its new axes and series, and drops the old axes'
  // items, on later passes of the event loop; without them the picture
  // could show parts of the previous session.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  const QImage picture =
      dialogs::SideBySide(staircaseView_->grab().toImage(), distributionView_->grab().toImage());
  QByteArray encoded;
  QBuffer buffer(&encoded);
  std::string reason = tr("cannot be encoded").toStdString();
  if (buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG") &&
      file_io::ReplaceWhole(path.toStdString(), encoded.toStdString(), &reason)) {
    return true;
  }
  ui::AppMessageBox(tr("Cannot write the picture [%1] (%2).")
                        .arg(path, QString::fromStdString(reason))
                        .toStdString(),
                    ui::kMbOk | ui::kMbIconWarning);
  return false;
}

bool CSessions::ExportListed(const QString& chosen) {
  QString trials;
  QString touches;
  ExportPaths(chosen, &trials, &touches);
  const std::vector<QString> paths = ListedPaths();
  int skipped = 0;
  std::string reason;
  const QString table = TablePath(chosen);
  const bool ok = results::ExportSessions(paths, trials, touches, &skipped, &reason, table);
  if (ok) {
    lastExport_ = tr("Exported %n sessions to %1, %2 and %3", nullptr,
                     static_cast<int>(paths.size()) - skipped)
                      .arg(QFileInfo(trials).fileName(), QFileInfo(touches).fileName(),
                           QFileInfo(table).fileName());
    if (skipped > 0) lastExport_ += tr(" (%1 could no longer be read)").arg(skipped);
  } else {
    lastExport_ = tr("Export failed");
    ui::AppMessageBox(
        tr("Cannot write the export [%1].").arg(QString::fromStdString(reason)).toStdString(),
        ui::kMbOk | ui::kMbIconWarning);
  }
  UpdateStatus();
  return ok;
}

void CSessions::ChooseAndSavePicture() {
  const QString path = ChooseSaveFile(this, tr("Save picture"), QStringLiteral("staircase.png"),
                                      tr("PNG pictures (*.png)"));
  if (!path.isEmpty()) SavePicture(path);
}

void CSessions::ChooseAndExport() {
  if (ListedPaths().empty()) {
    ui::AppMessageBox(tr("There is no session to export.").toStdString(),
                      ui::kMbOk | ui::kMbIconInformation);
    return;
  }
  const QString path = ChooseSaveFile(
      this, tr("Export the listed sessions (three files: -trials.csv, -touches.csv, -table.csv)"),
      QStringLiteral("sessions.csv"), tr("CSV files (*.csv)"));
  if (path.isEmpty()) return;
  QString trials;
  QString touches;
  ExportPaths(path, &trials, &touches);
  std::string taken;
  for (const QString& file : {trials, touches, TablePath(path)}) {
    const QFileInfo info(file);
    // A dangling link is there too: writing would replace it.
    if (info.exists() || info.isSymLink())
      taken += "\n" + QDir::toNativeSeparators(file).toStdString();
  }
  if (!taken.empty() &&
      ui::AppMessageBox(tr("The export would replace these files:%1\n\nReplace them?")
                            .arg(QString::fromStdString(taken))
                            .toStdString(),
                        ui::kMbOkCancel | ui::kMbIconQuestion) != ui::kIdOk) {
    return;
  }
  ExportListed(path);
}

void ShowSessions(QWidget* parent) {
  CSessions window(QString::fromLatin1(results::kSessionFolder), parent);
  window.exec();
}

}  // namespace sessions
