#pragma once
// "Current Connection Properties": the link's kind, address and network protocol, and the
// response waits (automatic, additional, total). "Re-calculate" runs the calibration on a worker
// thread while the data threads are held off the link.

#include <QDialog>
#include <QTimer>
#include <atomic>

#include "background_task.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class ConnectionPropertiesDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ConnectionPropertiesDialog(AppContext& app, QWidget* parent = nullptr);

    bool recalculating() const { return task_.running(); }

  public slots:
    void recalculate();
    void saveAsDefault();

  protected:
    void reject() override;

  private:
    void additionalEdited(const QString& text);
    void pollRecalculation();
    void showWaits();
    void updateWidgets();

    AppContext& app_;
    BackgroundTask task_;
    QTimer poll_;
    bool saving_ = false;

    QLabel* type_ = nullptr;
    QLabel* address_caption_ = nullptr;
    QLabel* address_ = nullptr;
    QLabel* protocol_ = nullptr;
    QLabel* automatic_ = nullptr;
    QLineEdit* additional_ = nullptr;
    QLabel* total_ = nullptr;
    QPushButton* recalculate_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* close_ = nullptr;
};

void RunConnectionProperties(AppContext& app, QWidget* parent);

}  // namespace qvx::gui
