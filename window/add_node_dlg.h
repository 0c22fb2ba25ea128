// "Add node…": asks for a node's IPv4 address and shows why one is refused.
#pragma once

#include <QDialog>

#include <functional>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace chromaset {

class AddNodeDlg : public QDialog {
  Q_OBJECT

 public:
  // Tries to add the typed text; returns empty when added, else the reason to show.
  using AddFn = std::function<QString(const QString& text)>;

  explicit AddNodeDlg(QWidget* parent = nullptr);
  void SetAdd(AddFn add) { m_add = std::move(add); }
  // There is no room: the reason is shown and nothing can be typed.
  void ShowFull(const QString& reason);

  QLineEdit* AddressField() const { return m_address; }
  QLabel* Problem() const { return m_problem; }

 private:
  void TryAdd();

  AddFn m_add;
  QLineEdit* m_address = nullptr;
  QLabel* m_problem = nullptr;
  QDialogButtonBox* m_buttons = nullptr;
};

}  // namespace chromaset
