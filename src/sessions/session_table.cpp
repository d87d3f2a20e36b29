#include "sessions/session_table.h"

#include <QBrush>
#include <QCoreApplication>
#include <QPalette>
#include <limits>

namespace sessions {
namespace {

// Unreadable rows sort below every readable one on any column.
constexpr double kUnreadableKey = -std::numeric_limits<double>::max();
constexpr qint64 kNoDate = std::numeric_limits<qint64>::min();

}  // namespace

QString ScoreText(const results::SessionListing& listing) {
  return listing.hasScore ? QString::number(listing.score, 'f', 2) : QStringLiteral("none");
}

namespace {

QString Tr(const char* text) {
  return QCoreApplication::translate("SessionTable", text);
}

QString HowText(AbortHow how) {
  switch (how) {
    case AbortHow::kEscape:
      return Tr("Escape");
    case AbortHow::kWindowClosed:
      return Tr("window closed");
    case AbortHow::kAltF4:
      return Tr("Alt+F4");
    case AbortHow::kTimerFailed:
      return Tr("no timer");
    case AbortHow::kImagesFailed:
      return Tr("no images");
  }
  return QString();
}

QString PhaseText(TrialPhase phase) {
  switch (phase) {
    case TrialPhase::kBetweenTrials:
      return Tr("before its display");
    case TrialPhase::kMemorisation:
      return Tr("memorisation");
    case TrialPhase::kAnswer:
      return Tr("answer");
  }
  return QString();
}

}  // namespace

QString OutcomeText(const results::SessionListing& l) {
  const bool practice = l.outcome == results::SessionOutcome::kPractice;
  if (!l.abort.stopped) return practice ? Tr("practice") : Tr("completed");
  const QString aborted = Tr("aborted at trial %1 (%2, %3)")
                              .arg(l.abort.trial)
                              .arg(PhaseText(l.abort.phase), HowText(l.abort.how));
  return practice ? Tr("practice, %1").arg(aborted) : aborted;
}

void SessionTableModel::SetListings(std::vector<results::SessionListing> listings) {
  beginResetModel();
  listings_ = std::move(listings);
  endResetModel();
}

int SessionTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(listings_.size());
}

int SessionTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant SessionTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const results::SessionListing& l = listings_[static_cast<size_t>(index.row())];
  const int column = index.column();
  if (role == Qt::ToolTipRole) return l.readable ? l.path : l.reason;
  if (role == Qt::ForegroundRole && !l.readable) return QBrush(Qt::darkRed);
  if (role == Qt::TextAlignmentRole && column >= kScore && column <= kErrors)
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole && role != kSortRole) return {};
  const bool sort = role == kSortRole;
  if (column == kFile) return l.fileName;
  if (column == kProblem) return l.readable ? QString() : QStringLiteral("unreadable: ") + l.reason;
  if (!l.readable) {
    if (sort) {
      if (column == kSubject) return QString();
      return column == kDate ? QVariant(kNoDate) : QVariant(kUnreadableKey);
    }
    return column == kSubject ? QVariant(QStringLiteral("(unreadable)")) : QVariant();
  }
  switch (column) {
    case kSubject:
      return l.subject;
    case kDate:
      // A number: sorting thousands of rows compares it many times over.
      if (sort) return l.ended.isValid() ? l.ended.toMSecsSinceEpoch() : kNoDate;
      return l.ended.isValid() ? l.ended.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                               : QStringLiteral("?");
    case kScore:
      // A test without a score sorts just above the unreadable ones.
      if (sort) return l.hasScore ? l.score : kUnreadableKey / 2;
      return ScoreText(l);
    case kMemtime:
      return l.memtime;
    case kMaxRev:
      return l.maxRev;
    case kTrials:
      return l.trials;
    case kErrors:
      return l.errors;
    case kOutcome:
      return OutcomeText(l);
    default:
      return {};
  }
}

QVariant SessionTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kTitles[kColumnCount] = {
      "Subject", "Date", "Score", "memtime", "max_rev", "Trials", "Errors", "Outcome", "File",
      "Problem"};
  if (section == kOutcome) return tr("Outcome");
  return section >= 0 && section < kColumnCount ? QString::fromLatin1(kTitles[section])
                                                : QVariant();
}

SessionFilter::SessionFilter(QObject* parent) : QSortFilterProxyModel(parent) {
  setSortRole(kSortRole);
}

void SessionFilter::SetFilters(const QString& subject, const QVariant& memtime,
                               const QVariant& maxRev) {
  if (subject == subject_ && memtime == memtime_ && maxRev == maxRev_) return;
  subject_ = subject;
  memtime_ = memtime;
  maxRev_ = maxRev;
  invalidateFilter();
}

void SessionFilter::SetOutcomeFilter(OutcomeFilter outcome, bool showPractice) {
  if (outcome == outcome_ && showPractice == showPractice_) return;
  outcome_ = outcome;
  showPractice_ = showPractice;
  invalidateFilter();
}

bool SessionFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  const auto* model = static_cast<const SessionTableModel*>(sourceModel());
  const results::SessionListing& l = model->Listings()[static_cast<size_t>(sourceRow)];
  const bool anyFilter = !subject_.isEmpty() || !memtime_.isNull() || !maxRev_.isNull() ||
                         outcome_ != OutcomeFilter::kAll;
  if (!l.readable) return !anyFilter;
  if (l.outcome == results::SessionOutcome::kPractice && !showPractice_) return false;
  if (outcome_ != OutcomeFilter::kAll && l.abort.stopped != (outcome_ == OutcomeFilter::kAborted))
    return false;
  return l.subject.contains(subject_, Qt::CaseInsensitive) &&
         (memtime_.isNull() || memtime_.toInt() == l.memtime) &&
         (maxRev_.isNull() || maxRev_.toInt() == l.maxRev);
}

}  // namespace sessions
