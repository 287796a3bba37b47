#pragma once
// The four boxes of an IP address behave as one field: "." in a box that holds digits moves to
// the next box, and a dotted address pasted into any box fills all four.

#include <QObject>
#include <QString>
#include <array>
#include <optional>

class QLineEdit;

namespace qvx::gui {

// "192.168.1.20" (blanks around it allowed) as its four parts; nullopt for anything else.
std::optional<std::array<QString, 4>> SplitDottedAddress(const QString& text);

class IpOctetFields : public QObject {
    Q_OBJECT
  public:
    // Installs itself on the four boxes; it belongs to the first one.
    static void Link(const std::array<QLineEdit*, 4>& boxes);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit IpOctetFields(const std::array<QLineEdit*, 4>& boxes);
    int indexOf(QObject* box) const;
    bool pasteAddress();

    std::array<QLineEdit*, 4> boxes_;
};

}  // namespace qvx::gui
