#include "viewer/windows/geotag_dialog.hpp"

#include "analysis/track_series.hpp"
#include "viewer/map/tile_math.hpp"
#include "viewer/models/geotag_model.hpp"
#include "viewer/models/selection.hpp"
#include "viewer/models/session_model.hpp"
#include "viewer/windows/error_display.hpp"
#include "viewer/windows/job_runner.hpp"
#include "viewer/windows/progress_dialog.hpp"
#include "viewer/windows/viewer_settings.hpp"
#include "viewer/windows/zone_box.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QShowEvent>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>

namespace tarnwick::viewer {

namespace {

// What the file dialog offers: the formats photo libraries keep, raw ones too.
const char* const kPhotoFilter =
    "Photos (*.jpg *.jpeg *.JPG *.JPEG *.tif *.tiff *.TIF *.TIFF *.dng *.DNG *.nef *.NEF *.cr2 "
    "*.CR2 *.orf *.ORF *.arw *.ARW *.pef *.PEF *.rw2 *.RW2 *.png *.PNG);;All Files (*)";

// The progress dialog's cancel as the flag the job reads between photos.
class CancelRelay : public IProgressInterface {
 public:
  explicit CancelRelay(std::shared_ptr<IProgressInterface> Sink) : sink_(std::move(Sink)) {}
  void OnProgress(int32_t Position, int32_t Max, bool& Abort) override {
    sink_->OnProgress(Position, Max, Abort);
    if (Abort) {
      cancel_ = true;
    }
  }
  void SetMessage1(const std::string& Msg) override { sink_->SetMessage1(Msg); }
  void SetMessage2(const std::string& Msg) override { sink_->SetMessage2(Msg); }
  const std::atomic<bool>* Flag() const { return &cancel_; }
  bool Cancelled() const { return cancel_.load(); }

 private:
  std::shared_ptr<IProgressInterface> sink_;
  std::atomic<bool> cancel_{false};
};

QString Plural(size_t Count, const char* One, const char* Many) {
  return QString("%1 %2").arg(Count).arg(Count == 1 ? One : Many);
}

} // namespace

TGeotagDialog::TGeotagDialog(SessionModel& Session, Selection& Selection, JobRunner& Jobs,
                             QWidget* Parent)
    : QDialog(Parent), session_(Session), selection_(Selection), jobs_(Jobs),
      model_(new GeotagModel(this)) {
  setObjectName("TGeotagDialog");
  setWindowTitle("Geotag Photos");
  const QSettings settings;

  // The photos.
  auto* photos = new QGroupBox("Photos", this);
  auto* addFiles = new QPushButton("Add Photos...", photos);
  addFiles->setObjectName("cmdAddPhotos");
  auto* addFolder = new QPushButton("Add Folder...", photos);
  addFolder->setObjectName("cmdAddFolder");
  chkRecursive_ = new QCheckBox("Recursive", photos);
  chkRecursive_->setObjectName("chkRecursive");
  chkRecursive_->setToolTip("Take the photos of a folder's subfolders too");
  chkRecursive_->setChecked(settings.value("geotag/recursive", false).toBool());
  auto* clear = new QPushButton("Clear", photos);
  clear->setObjectName("cmdClearPhotos");
  lblPhotos_ = new QLabel("No photos chosen", photos);
  lblPhotos_->setObjectName("lblPhotos");
  auto* photosRow = new QHBoxLayout(photos);
  photosRow->addWidget(addFiles);
  photosRow->addWidget(addFolder);
  photosRow->addWidget(chkRecursive_);
  photosRow->addWidget(lblPhotos_, 1);
  photosRow->addWidget(clear);

  // The camera's clock.
  auto* clock = new QGroupBox("Camera clock", this);
  cboZone_ = new ZoneBox("UTC", clock);
  cboZone_->setObjectName("cboCameraZone");
  cboZone_->setToolTip("The zone the camera's clock was set to; photos that record their own "
                       "offset from UTC (OffsetTimeOriginal) use that instead");
  cboZone_->SetSetting(settings.value("geotag/zone", "local").toString().toStdString());
  if (!cboZone_->Setting()) {
    cboZone_->SetSetting("local");
  }
  lastZone_ = TimeZone::FromSetting(*cboZone_->Setting());
  spnOffset_ = new QSpinBox(clock);
  spnOffset_->setObjectName("spnClockOffset");
  spnOffset_->setRange(-kMaxOffsetSeconds, kMaxOffsetSeconds);
  spnOffset_->setSuffix(" s");
  spnOffset_->setAccelerated(true);
  spnOffset_->setToolTip("How far the camera's clock was ahead of the true time (negative: "
                         "behind), in seconds");
  lblOffset_ = new QLabel(OffsetText(0), clock);
  lblOffset_->setObjectName("lblClockOffset");
  cmdOffsetFromPhoto_ = new QPushButton("Set Offset from Photo", clock);
  cmdOffsetFromPhoto_->setObjectName("cmdOffsetFromPhoto");
  cmdOffsetFromPhoto_->setCheckable(true);
  cmdOffsetFromPhoto_->setToolTip(
      "Select a photo whose place you know (a photo of a GPS screen or a landmark), press this, "
      "then click that place on the map or choose its track point in the points table");
  auto* offsetRow = new QHBoxLayout;
  offsetRow->addWidget(spnOffset_);
  offsetRow->addWidget(lblOffset_, 1);
  offsetRow->addWidget(cmdOffsetFromPhoto_);
  spnMaxGap_ = new QSpinBox(clock);
  spnMaxGap_->setObjectName("spnMaxGap");
  spnMaxGap_->setRange(1, 7 * 86400);
  spnMaxGap_->setSuffix(" s");
  spnMaxGap_->setValue(settings.value("geotag/maxGap", 1800).toInt());
  spnMaxGap_->setToolTip("Interpolate between two track points at most this far apart in time, "
                         "else take the nearest point within it; a photo further from the "
                         "track is left alone");
  auto* clockForm = new QFormLayout(clock);
  clockForm->addRow("Zone", cboZone_);
  clockForm->addRow("Clock offset", offsetRow);
  clockForm->addRow("Max gap", spnMaxGap_);
  lblHint_ = new QLabel(clock);
  lblHint_->setObjectName("lblOffsetHint");
  lblHint_->setWordWrap(true);
  lblHint_->setStyleSheet("QLabel { background: #fff4c2; color: #4a3b00; padding: 3px; }");
  lblHint_->hide();
  clockForm->addRow(lblHint_);

  // How the tags are written.
  chkOverwrite_ = new QCheckBox("Replace positions photos already have", this);
  chkOverwrite_->setObjectName("chkOverwrite");
  chkOverwrite_->setChecked(settings.value("geotag/overwrite", false).toBool());
  chkSidecar_ = new QCheckBox("XMP sidecars, photos unchanged", this);
  chkSidecar_->setObjectName("chkSidecar");
  chkSidecar_->setToolTip("Write NAME.xmp beside each photo (darktable, digiKam) and leave the "
                          "photo itself alone");
  chkSidecar_->setChecked(settings.value("geotag/sidecar", false).toBool());
  chkBackup_ = new QCheckBox("Keep originals (.original)", this);
  chkBackup_->setObjectName("chkBackup");
  chkBackup_->setChecked(settings.value("geotag/backup", false).toBool());
  auto* writeRow = new QHBoxLayout;
  writeRow->addWidget(chkOverwrite_);
  writeRow->addWidget(chkSidecar_);
  writeRow->addWidget(chkBackup_);
  writeRow->addStretch(1);

  table_ = new QTableView(this);
  table_->setObjectName("grdGeotag");
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setAlternatingRowColors(true);
  table_->setWordWrap(false);
  table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  table_->horizontalHeader()->setStretchLastSection(true);
  lblSummary_ = new QLabel(this);
  lblSummary_->setObjectName("lblGeotagSummary");
  lblSummary_->setWordWrap(true);
  lblSummary_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QDialogButtonBox(this);
  cmdApply_ = buttons->addButton("Apply", QDialogButtonBox::ApplyRole);
  cmdApply_->setObjectName("cmdApply");
  cmdApply_->setToolTip("Write the positions of the preview into the photos");
  QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
  close->setObjectName("cmdClose");
  close->setAutoDefault(false);
  cmdApply_->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(photos);
  layout->addWidget(clock);
  layout->addLayout(writeRow);
  layout->addWidget(table_, 1);
  layout->addWidget(lblSummary_);
  layout->addWidget(buttons);
  resize(1040, 620);

  connect(addFiles, &QPushButton::clicked, this, [this] {
    const QStringList files = QFileDialog::getOpenFileNames(
        this, "Photos to geotag", ViewerSettings::LastFolder(), kPhotoFilter);
    if (!files.isEmpty()) {
      ViewerSettings::SetLastFolder(files.first());
      AddPaths(files);
    }
  });
  connect(addFolder, &QPushButton::clicked, this, [this] {
    const QString folder = QFileDialog::getExistingDirectory(this, "Folder of photos to geotag",
                                                             ViewerSettings::LastFolder());
    if (!folder.isEmpty()) {
      ViewerSettings::SetLastFolder(QDir(folder).filePath("x"));
      AddPaths({folder});
    }
  });
  connect(clear, &QPushButton::clicked, this, &TGeotagDialog::ClearPhotos);
  connect(chkRecursive_, &QCheckBox::toggled, this, [this] {
    // A folder chosen before now gives other photos.
    if (!paths_.isEmpty()) {
      ReadPhotos();
    }
  });
  connect(cboZone_, &QComboBox::currentTextChanged, this, [this] {
    // A name being typed is not a zone yet: the last one stays in force until it is.
    const auto zone = cboZone_->Setting();
    cboZone_->setStyleSheet(zone ? QString() : QString("QComboBox { color: #aa1414; }"));
    if (zone) {
      lastZone_ = TimeZone::FromSetting(*zone);
      UpdatePreview();
    }
  });
  connect(spnOffset_, &QSpinBox::valueChanged, this, &TGeotagDialog::OffsetChanged);
  connect(spnMaxGap_, &QSpinBox::valueChanged, this, &TGeotagDialog::UpdatePreview);
  for (QCheckBox* option : {chkOverwrite_, chkSidecar_, chkBackup_}) {
    connect(option, &QCheckBox::toggled, this, &TGeotagDialog::UpdatePreview);
  }
  connect(cmdOffsetFromPhoto_, &QPushButton::toggled, this,
          [this](bool On) { BeginOffsetFromPhoto(On ? CurrentRow() : -1); });
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &TGeotagDialog::UpdateButtons);
  connect(cmdApply_, &QPushButton::clicked, this, &TGeotagDialog::Apply);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  connect(&selection_, &Selection::PointChanged, this, &TGeotagDialog::PointChosen);
  // Other tracks, or the same ones read by another year era: the photos are matched anew.
  // While the dialog is closed, that waits until it is shown again.
  const auto tracksChanged = [this] {
    BeginOffsetFromPhoto(-1);
    if (job_ != nullptr) {
      stale_ = true;
      if (isVisible()) {
        QTimer::singleShot(0, this, &TGeotagDialog::UpdatePreview);
      }
    }
  };
  connect(&session_, &SessionModel::Replaced, this, tracksChanged);
  connect(&session_, &SessionModel::ReadingChanged, this, tracksChanged);
  connect(&jobs_, &JobRunner::RunningChanged, this, &TGeotagDialog::UpdateButtons);
  UpdateButtons();
}

TGeotagDialog::~TGeotagDialog() = default;

QString TGeotagDialog::OffsetText(int Seconds) {
  const int total = std::abs(Seconds);
  const int days = total / 86400;
  const QString clock = QString("%1:%2:%3")
                            .arg((total % 86400) / 3600)
                            .arg((total % 3600) / 60, 2, 10, QChar('0'))
                            .arg(total % 60, 2, 10, QChar('0'));
  const QString span = days > 0 ? QString("%1 d %2").arg(days).arg(clock) : clock;
  if (Seconds == 0) {
    return "0:00:00 (camera on time)";
  }
  return Seconds > 0 ? "+" + span + " (camera ahead)" : "\u2212" + span + " (camera behind)";
}

app::GeotagOptions TGeotagDialog::Options() const {
  app::GeotagOptions options;
  options.CameraZone = lastZone_;
  options.ClockOffsetSeconds = spnOffset_->value();
  options.MaxGapSeconds = spnMaxGap_->value();
  options.Overwrite = chkOverwrite_->isChecked();
  options.Sidecar = chkSidecar_->isChecked();
  options.Backup = chkBackup_->isChecked();
  options.Recursive = chkRecursive_->isChecked();
  return options;
}

bool TGeotagDialog::AddPaths(const QStringList& Paths) {
  const QStringList before = paths_;
  for (const QString& path : Paths) {
    if (!paths_.contains(path)) {
      paths_.append(path);
    }
  }
  if (!ReadPhotos()) {
    // Cancelled: the photos read before stay, and so do their paths.
    paths_ = before;
    return false;
  }
  return true;
}

void TGeotagDialog::ClearPhotos() {
  BeginOffsetFromPhoto(-1);
  paths_.clear();
  photos_.clear();
  job_.reset();
  stale_ = false;
  model_->SetRows({});
  lblPhotos_->setText("No photos chosen");
  lblSummary_->clear();
  UpdateButtons();
}

bool TGeotagDialog::ReadPhotos() {
  if (jobs_.Running()) {
    return false;
  }
  BeginOffsetFromPhoto(-1);
  std::vector<std::string> inputs;
  for (const QString& path : paths_) {
    inputs.push_back(QDir::toNativeSeparators(path).toStdString());
  }
  const bool recursive = chkRecursive_->isChecked();
  std::vector<std::string> photos;
  std::vector<std::string> problems;
  std::unique_ptr<app::GeotagJob> job;
  std::vector<TrackSeries> series = session_.Session().Series();
  const bool ok = jobs_.Run([&] {
    return TProgressDialog::Execute(this, [&](const std::shared_ptr<IProgressInterface>& Sink) {
      photos = app::CollectPhotos(inputs, recursive, problems);
      const auto relay = std::make_shared<CancelRelay>(Sink);
      job = std::make_unique<app::GeotagJob>(std::move(series), photos, relay, relay->Flag());
      return job->Complete() && !relay->Cancelled();
    });
  });
  if (!ok) {
    // Cancelled or failed: what was read before stays.
    UpdateButtons();
    return false;
  }
  photos_ = std::move(photos);
  job_ = std::move(job);
  stale_ = false;
  lblPhotos_->setText(Plural(photos_.size(), "file", "files") + " from " +
                      (paths_.size() == 1
                           ? QDir::toNativeSeparators(paths_.first())
                           : Plural(static_cast<size_t>(paths_.size()), "choice", "choices")));
  lblPhotos_->setToolTip(paths_.join('\n'));
  QStringList texts;
  for (const std::string& problem : problems) {
    texts.append(QString::fromStdString(problem));
  }
  lblSummary_->setText(texts.join('\n'));
  UpdatePreview();
  return true;
}

void TGeotagDialog::UpdatePreview() {
  if (job_ == nullptr) {
    return;
  }
  if (stale_) {
    // The tracks changed since the photos were read: the job is made anew for them.
    ReadPhotos();
    return;
  }
  model_->SetRows(job_->Plan(Options()));
  if (table_->horizontalHeader()->sectionSize(0) ==
      table_->horizontalHeader()->defaultSectionSize()) {
    table_->resizeColumnsToContents();
  }
  UpdateButtons();
}

void TGeotagDialog::OffsetChanged() {
  lblOffset_->setText(OffsetText(spnOffset_->value()));
  UpdatePreview();
}

bool TGeotagDialog::Apply() {
  if (job_ == nullptr || jobs_.Running()) {
    return false;
  }
  BeginOffsetFromPhoto(-1);
  SaveChoices();
  if (stale_ && !ReadPhotos()) {
    return false;
  }
  const app::GeotagOptions options = Options();
  std::vector<app::GeotagRow> rows;
  const bool ok = jobs_.Run([&] {
    return TProgressDialog::Execute(this, [&](const std::shared_ptr<IProgressInterface>& Sink) {
      const auto relay = std::make_shared<CancelRelay>(Sink);
      rows = job_->Apply(options, relay, relay->Flag());
      return !relay->Cancelled();
    });
  });
  if (rows.empty()) {
    // The run raised before it had a row to show: the photos are read again before the next
    // preview.
    stale_ = true;
    return false;
  }
  // The job keeps the positions it wrote: the next preview shows those photos as tagged.
  model_->SetRows(rows);
  for (const app::GeotagRow& row : rows) {
    if ((row.Action == app::GeotagAction::Tagged ||
         row.Action == app::GeotagAction::SidecarWritten) &&
        row.Position) {
      const QString file = QString::fromStdString(row.File);
      tagged_.insert(file,
                     MapPhoto{ToWorld(row.Position->Latitude, row.Position->Longitude), file});
    }
  }
  std::vector<MapPhoto> marks(tagged_.begin(), tagged_.end());
  std::sort(marks.begin(), marks.end(),
            [](const MapPhoto& A, const MapPhoto& B) { return A.File < B.File; });
  emit PhotosTagged(marks);
  const QString summary =
      QString::fromStdString(app::GeotagJob::Summarize(rows).Text(options.DryRun));
  lblSummary_->setText(summary);
  emit Done("geotag: " + summary);
  UpdateButtons();
  return ok;
}

int TGeotagDialog::CurrentRow() const {
  const QModelIndex current = table_->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TGeotagDialog::BeginOffsetFromPhoto(int Row) {
  offsetRow_ = Row >= 0 && Row < model_->rowCount() ? Row : -1;
  if (offsetRow_ >= 0) {
    const QString name = QFileInfo(QString::fromStdString(model_->Row(offsetRow_).File)).fileName();
    lblHint_->setText(QString("Now click the place on the map where %1 was taken, or choose its "
                              "track point in the points table.")
                          .arg(name));
    // The point chosen next is the one meant, even when it is the one selected now.
    selection_.SetPoint(-1);
  }
  lblHint_->setVisible(offsetRow_ >= 0);
  const QSignalBlocker quiet(cmdOffsetFromPhoto_);
  cmdOffsetFromPhoto_->setChecked(offsetRow_ >= 0);
}

void TGeotagDialog::PointChosen(int Point) {
  if (offsetRow_ < 0 || Point < 0) {
    return;
  }
  const int row = offsetRow_;
  BeginOffsetFromPhoto(-1);
  if (!SetOffsetFromPoint(row, selection_.Track(), Point)) {
    ShowError(this, "That photo has no capture time, or the point chosen has none: the offset "
                    "was left as it was");
  }
}

bool TGeotagDialog::SetOffsetFromPoint(int Row, int Track, int Point) {
  if (job_ == nullptr || Row < 0 || Row >= model_->rowCount()) {
    return false;
  }
  const std::vector<TrackSeries>& series = session_.Session().Series();
  if (Track < 0 || Track >= static_cast<int>(series.size()) || Point < 0 ||
      Point >= static_cast<int>(series[static_cast<size_t>(Track)].Size())) {
    return false;
  }
  const int64_t trueMs = series[static_cast<size_t>(Track)].TimeMs[static_cast<size_t>(Point)];
  const std::optional<double> offset =
      job_->ClockOffsetFor(model_->Row(Row).Photo, trueMs, Options());
  if (!offset || std::abs(*offset) > kMaxOffsetSeconds) {
    return false;
  }
  // Whole seconds: a track point is a second apart at best.
  spnOffset_->setValue(static_cast<int>(std::lround(*offset)));
  table_->selectRow(Row);
  return true;
}

void TGeotagDialog::UpdateButtons() {
  const bool idle = !jobs_.Running();
  cmdApply_->setEnabled(idle && job_ != nullptr && !photos_.empty());
  const int row = CurrentRow();
  cmdOffsetFromPhoto_->setEnabled(offsetRow_ >= 0 ||
                                  (idle && row >= 0 && !session_.Session().Series().empty()));
}

void TGeotagDialog::SaveChoices() const {
  QSettings settings;
  if (const auto zone = cboZone_->Setting()) {
    settings.setValue("geotag/zone", QString::fromStdString(*zone));
  }
  settings.setValue("geotag/maxGap", spnMaxGap_->value());
  settings.setValue("geotag/overwrite", chkOverwrite_->isChecked());
  settings.setValue("geotag/sidecar", chkSidecar_->isChecked());
  settings.setValue("geotag/backup", chkBackup_->isChecked());
  settings.setValue("geotag/recursive", chkRecursive_->isChecked());
}

void TGeotagDialog::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  if (stale_ && job_ != nullptr) {
    QTimer::singleShot(0, this, &TGeotagDialog::UpdatePreview);
  }
}

void TGeotagDialog::closeEvent(QCloseEvent* Event) {
  BeginOffsetFromPhoto(-1);
  SaveChoices();
  QDialog::closeEvent(Event);
}

} // namespace tarnwick::viewer
