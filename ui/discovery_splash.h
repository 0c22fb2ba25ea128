// The small window shown while start-up waits for nodes to answer the poll.
#pragma once

#include <QWidget>

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

}  // namespace chromaset
