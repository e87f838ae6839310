#include "viewer/panes/points_dump_pane.hpp"

#include "support/date_time.hpp"
#include "support/dump_text.hpp"
#include "viewer/models/flag_filter_model.hpp"
#include "viewer/models/gap_search.hpp"
#include "viewer/models/grid_model.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/panes/pane_widgets.hpp"
#include "viewer/windows/grid_view.hpp"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <set>

namespace tarnwick::viewer {

PointsDumpPane::PointsDumpPane(SessionModel& Session, QAction* SkipTo, char DecimalSeparator,
                               QWidget* Parent)
    : QWidget(Parent), session_(Session), decimalSeparator_(DecimalSeparator),
      FPointsDumpGridHelper(std::make_unique<TPointsDumpGridHelper>(DecimalSeparator)) {
  setObjectName("tshPointsDump");
  cboPointsDumpFlagFilter_ = new QComboBox(this);
  cboPointsDumpFlagFilter_->setObjectName("cboPointsDumpFlagFilter");
  cboPointsDumpFlagFilter_->setEditable(false);
  cboPointsDumpFlagFilter_->setMinimumContentsLength(14);
  auto* skip = new QPushButton(SkipTo->text(), this);
  skip->setObjectName("cmdSkipToInterval");
  skip->setEnabled(SkipTo->isEnabled());
  connect(skip, &QPushButton::clicked, SkipTo, &QAction::trigger);
  connect(SkipTo, &QAction::changed, skip,
          [skip, SkipTo] { skip->setEnabled(SkipTo->isEnabled()); });

  grdPointsDump_ = new GridView("grdPointsDump", this);
  auto* model = new GridModel(*FPointsDumpGridHelper, this);
  filter_ = new FlagFilterModel(
      [this](int Row) -> std::optional<int> {
        const TIGotUPoints* points = session_.Points();
        if (points == nullptr || Row >= points->Points().Count()) {
          return std::nullopt;
        }
        return points->Points()[Row].Flags();
      },
      this);
  filter_->setSourceModel(model);
  grdPointsDump_->SetGridModel(model, filter_);
  connect(grdPointsDump_, &GridView::CurrentItemChanged, this, &PointsDumpPane::ShowRecord);
  connect(cboPointsDumpFlagFilter_, &QComboBox::currentIndexChanged, this,
          &PointsDumpPane::FlagChosen);
  lblPointsDumpStr_ = DataLabel("lblPointsDumpStr", this);

  auto* row = new QHBoxLayout;
  row->addWidget(cboPointsDumpFlagFilter_);
  row->addWidget(skip);
  row->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(grdPointsDump_, 1);
  layout->addWidget(lblPointsDumpStr_);

  connect(&session_, &SessionModel::AboutToReplace, this, &PointsDumpPane::LetGo);
  connect(&session_, &SessionModel::Replaced, this, &PointsDumpPane::ShowImage);
  connect(&session_, &SessionModel::ReadingChanged, this, [this] {
    const int record = grdPointsDump_->CurrentItem();
    FPointsDumpGridHelper->SetZone(session_.Zone());
    grdPointsDump_->SelectItem(record);
  });
}

PointsDumpPane::~PointsDumpPane() {
  grdPointsDump_->setModel(nullptr);
}

void PointsDumpPane::LetGo() {
  FPointsDumpGridHelper->SetPoints(nullptr);
}

void PointsDumpPane::ShowImage() {
  FPointsDumpGridHelper->SetZone(session_.Zone());
  FillFlagFilter();
  FPointsDumpGridHelper->SetPoints(session_.Points());
  lblPointsDumpStr_->clear();
}

void PointsDumpPane::FillFlagFilter() {
  std::set<int> flags;
  if (const TIGotUPoints* points = session_.Points()) {
    for (const auto& point : points->Points()) {
      flags.insert(point->Flags());
    }
  }
  const QSignalBlocker block(cboPointsDumpFlagFilter_);
  cboPointsDumpFlagFilter_->clear();
  cboPointsDumpFlagFilter_->addItem("All records");
  for (int flag : flags) {
    cboPointsDumpFlagFilter_->addItem(QString("%1 ").arg(flag, 2, 16, QChar('0')).toUpper(), flag);
  }
  cboPointsDumpFlagFilter_->setCurrentIndex(0);
  flag_.reset();
  filter_->SetFlag(std::nullopt);
}

void PointsDumpPane::FlagChosen(int Index) {
  // The record selected stays selected when the new filter shows it.
  const int record = grdPointsDump_->CurrentItem();
  const QVariant flag = cboPointsDumpFlagFilter_->itemData(Index);
  flag_ = flag.isValid() ? std::optional<int>(flag.toInt()) : std::nullopt;
  filter_->SetFlag(flag_);
  if (record >= 0 && Shown(record)) {
    grdPointsDump_->SelectItem(record);
  } else {
    // Nothing shown is selected rather than a neighbour of the record that went.
    grdPointsDump_->SelectItem(-1);
    lblPointsDumpStr_->clear();
  }
}

bool PointsDumpPane::Shown(int Record) const {
  const TIGotUPoints* points = session_.Points();
  if (points == nullptr || Record < 0 || Record >= points->Points().Count()) {
    return false;
  }
  return !flag_ || points->Points()[Record].Flags() == *flag_;
}

void PointsDumpPane::ShowRecord(int Record) {
  const TIGotUPoints* points = session_.Points();
  if (points == nullptr || Record < 0 || Record >= points->Points().Count()) {
    return;
  }
  const TIGotUPointBase& point = points->Points()[Record];
  QString header;
  try {
    header = QString::fromStdString(PointHeaderText(point, session_.Zone()));
  } catch (const std::exception& e) {
    header = QString::fromStdString(e.what());
  }
  lblPointsDumpStr_->setText(header + " " +
                             QString::fromStdString(point.DebugString(decimalSeparator_)));
}

void PointsDumpPane::SkipToInterval() {
  const TIGotUPoints* points = session_.Points();
  if (points == nullptr) {
    return;
  }
  // Records the filter hides are passed over like records without a time.
  const auto timeOf = [this, points](int Record) -> std::optional<int64_t> {
    if (!Shown(Record)) {
      return std::nullopt;
    }
    try {
      return DateTimeToMilliseconds(points->Points()[Record].Time());
    } catch (const std::exception&) {
      return std::nullopt;
    }
  };
  const int record = NextGapRow(points->Points().Count(), grdPointsDump_->CurrentItem(), timeOf);
  if (record >= 0) {
    grdPointsDump_->SelectItem(record);
  }
}

} // namespace tarnwick::viewer
