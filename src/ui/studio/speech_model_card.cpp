// The speech model card: the download and its progress, bound to the model installer.
#include "ui/studio/speech_model_card.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_model.h"
#include "app/speech_model/model_installer.h"
#include "ui/binding.h"
#include "ui/icons/icons.h"
#include "ui/studio/studio_style.h"

namespace sayloom::ui {

SpeechModelCard::SpeechModelCard(AppModel& model, QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("card"));
  ModelInstaller& installer = model.modelInstaller();
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(14, 10, 14, 10);
  auto* lines = new QVBoxLayout;
  lines->setSpacing(2);
  lines->addWidget(makeHeading(QStringLiteral("오프라인 대본을 위한 Whisper 모델"), this, 0));
  lines->addWidget(makeCaption(QStringLiteral("처음 한 번 148 MB 다운로드 · 이후 기기에서 인식"), this));
  row->addLayout(lines, 1);
  auto* download = new QPushButton(Icons::icon(QStringLiteral("arrow.down.circle")),
                                   QStringLiteral("모델 다운로드"), this);
  onClick(download, [&model] { model.downloadModel(); });
  row->addWidget(download);
  auto* progress = new QProgressBar(this);
  progress->setRange(0, 1000);
  progress->setAccessibleName(QStringLiteral("모델 다운로드 진행률"));
  progress->setFixedWidth(160);
  row->addWidget(progress);
  auto* cancel = new QPushButton(QStringLiteral("취소"), this);
  onClick(cancel, [&installer] { start(installer.cancel()); });
  row->addWidget(cancel);

  follow(this, &installer, &ModelInstaller::downloadProgressChanged, [=, &installer] {
    const std::optional<double>& fraction = installer.downloadProgress();
    download->setEnabled(!fraction);
    progress->setVisible(fraction.has_value());
    cancel->setVisible(fraction.has_value());
    progress->setValue(qRound(fraction.value_or(0) * 1000));
  });
  follow(this, &installer, &ModelInstaller::modelReadyChanged,
         [this, &installer] { setVisible(!installer.modelReady()); });
}

}  // namespace sayloom::ui
