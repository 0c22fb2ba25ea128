// The small window shown while start-up waits for nodes to answer the poll.
#pragma once

#include <QWidget>

#include <chrono>
#include <functional>

class QIcon;
class QLabel;
class QProgressBar;

namespace chromaset {

class DiscoverySplash : public QWidget {
  Q_OBJECT

 public:
  DiscoverySplash(const QIcon& icon, int waitMs, QWidget* parent = nullptr);

  // elapsedMs of the wait have passed and answered nodes are in the table.
  void Update(int elapsedMs, int answered);

  int Progress() const;
  QString AnsweredText() const;

 private:
  QProgressBar* m_progress = nullptr;
  QLabel* m_answered = nullptr;
};

// The start-up wait for answers to the poll that went out at since, until wait has passed
// since then: with the splash, only the splash runs an event loop (the main window stays
// hidden); without it, the thread sleeps. answered counts the nodes in the table.
void RunDiscoveryWait(std::chrono::milliseconds wait, std::chrono::steady_clock::time_point since,
                      bool showSplash, const QIcon& icon, const std::function<int()>& answered);

}  // namespace chromaset
