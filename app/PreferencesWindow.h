#pragma once

#include <QByteArray>
#include <QDialog>
#include <QKeySequence>
#include <QString>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QKeySequenceEdit;
class QLabel;

namespace ferrymark {

// The settings a user may change: starting with the session, and the hot keys of the tray
// menu's commands. It holds no state of its own: every change goes through the model's
// functions, which say whether it took.
class PreferencesWindow : public QDialog {
    Q_OBJECT
  public:
    struct HotKeyRow {
        QString title;
        QByteArray slot;
        QKeySequence sequence;
    };
    struct Model {
        bool startAtLogin = false;
        // Answers the state that holds afterwards.
        std::function<bool(bool)> setStartAtLogin;
        std::vector<HotKeyRow> hotKeys;
        // Empty when the key was taken, else the reason it was not.
        std::function<QString(const QByteArray& slot, const QKeySequence&)> changeHotKey;
        // Which transfers check their copies: 0 moves only, 1 every transfer, 2 never.
        int checkCopies = 0;
        std::function<void(int)> setCheckCopies;
        // Further settings, each a box made by its own class, below the hot keys.
        std::vector<std::function<QWidget*(QWidget* parent)>> boxes;
    };

    explicit PreferencesWindow(Model model, QWidget* parent = nullptr);

    QCheckBox* cbStartAtLogin() const { return startAtLogin_; }
    QComboBox* cbCheckCopies() const { return checkCopies_; }
    QKeySequenceEdit* hotKeyEdit(const QByteArray& slot) const;
    QLabel* lbMessage() const { return message_; }

    // What finishing an edit does: try the edit's key; on refusal the old key comes back.
    void applyHotKey(const QByteArray& slot);

  private:
    Model model_;
    QCheckBox* startAtLogin_ = nullptr;
    QComboBox* checkCopies_ = nullptr;
    std::vector<QKeySequenceEdit*> edits_;
    QLabel* message_ = nullptr;
};

}  // namespace ferrymark
