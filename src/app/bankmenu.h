#pragma once

#include <QObject>
#include <QString>

class QActionGroup;
class QAction;
class QMenu;
class QPushButton;
class QWidget;
class Station;

// The Bank button and its menu: the station's banks of memories, the chosen one ticked and named
// on the button, New Bank…, and the keys that step through them.
class BankMenu final : public QObject {
    Q_OBJECT

public:
    // The keys work anywhere in window.
    BankMenu(Station& station, QPushButton& button, QMenu& menu, QAction& newBank, QWidget& window);

    // Asks for a name and chooses the new bank.
    void askNewBank();

signals:
    // What the status line says: the bank chosen, or why the bank stays.
    void told(const QString& text);
    void refused(const QString& why);

private:
    void showBanks();

    Station& station_;
    QPushButton& button_;
    QMenu& menu_;
    QActionGroup* items_;
};
