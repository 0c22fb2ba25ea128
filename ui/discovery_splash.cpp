#include "discovery_splash.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>

#include "ids.h"

namespace chromaset {

DiscoverySplash::DiscoverySplash(const QIcon& icon, int waitMs, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("m_discoverySplash"));
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setHorizontalSpacing(12);

  auto* iconLabel = new QLabel(this);
  iconLabel->setPixmap(icon.pixmap(32, 32));
  layout->addWidget(iconLabel, 0, 0, 3, 1, Qt::AlignTop);

  auto* text = new QLabel(QString::fromUtf8(kSearchingText), this);
  layout->addWidget(text, 0, 1);

  m_progress = new QProgressBar(this);
  m_progress->setRange(0, waitMs);
  m_progress->setValue(0);
  m_progress->setTextVisible(false);
  m_progress->setMinimumWidth(220);
  layout->addWidget(m_progress, 1, 1);

  m_answered = new QLabel(this);
  layout->addWidget(m_answered, 2, 1);
  Update(0, 0);
  adjustSize();
}

void DiscoverySplash::Update(int elapsedMs, int answered) {
  m_progress->setValue(elapsedMs);
  m_answered->setText(answered == 1 ? tr("1 node has answered")
                                    : tr("%1 nodes have answered").arg(answered));
}

int DiscoverySplash::Progress() const { return m_progress->value(); }

QString DiscoverySplash::AnsweredText() const { return m_answered->text(); }

}  // namespace chromaset
