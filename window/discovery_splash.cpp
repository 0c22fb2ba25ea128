#include "discovery_splash.h"

#include <QEventLoop>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>
#include <thread>

#include "ids.h"

namespace chromaset {

namespace {
constexpr int kSplashTickMs = 100;
}

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

void RunDiscoveryWait(std::chrono::milliseconds wait, std::chrono::steady_clock::time_point since,
                      bool showSplash, const QIcon& icon, const std::function<int()>& answered) {
  using Clock = std::chrono::steady_clock;
  const auto waitMs = static_cast<qint64>(wait.count());
  const auto elapsedMs = [since] {
    return static_cast<qint64>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
  };
  if (waitMs <= elapsedMs()) return;
  if (!showSplash) {
    std::this_thread::sleep_until(since + wait);
    return;
  }
  DiscoverySplash splash(icon, static_cast<int>(waitMs));
  splash.show();
  QEventLoop loop;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    const qint64 done = elapsedMs();
    splash.Update(static_cast<int>(std::min(done, waitMs)), answered());
    if (done >= waitMs) loop.quit();
  });
  splash.Update(static_cast<int>(std::min(elapsedMs(), waitMs)), answered());
  tick.start(kSplashTickMs);
  for (qint64 left = waitMs - elapsedMs(); left > 0; left = waitMs - elapsedMs()) {
    QTimer::singleShot(static_cast<int>(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  splash.close();
}

}  // namespace chromaset
