// The About box: icon, name and version, one more line, and an OK button.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CAboutDlg;
}

namespace chromaset {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
  ~CAboutDlg() override;

 private:
  std::unique_ptr<Ui::CAboutDlg> m_ui;
};

}  // namespace chromaset
