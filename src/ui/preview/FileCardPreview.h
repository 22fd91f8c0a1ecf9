#pragma once

#include <QWidget>

#include <filesystem>
#include <functional>
#include <string>

class QLabel;
class QPushButton;

namespace tarn {

// What stands for a file no view can show: its type's icon, its name, its type's
// description and size, and a button that hands the local copy to the desktop's
// default application for it (the desktop offers no quick look of its own).
class FileCardPreview : public QWidget {
    Q_OBJECT

public:
    struct File {
        std::string key;
        std::string mimeType;  // the type the choice went by
        std::int64_t size = 0;
        std::filesystem::path localCopy;  // empty when there is none to open
    };

    FileCardPreview(File file, std::function<void(const std::filesystem::path&)> openWithDefaultApplication,
                    QWidget* parent = nullptr);

    QString nameText() const;
    QString detailText() const;
    // Absent when there is no local copy or nothing to open it with.
    QPushButton* openButton() const { return m_open; }

    // The type's description in the interface language where the system has one,
    // else the type itself.
    static QString typeDescription(const std::string& mimeType);

private:
    QLabel* m_name;
    QLabel* m_detail;
    QPushButton* m_open = nullptr;
};

}  // namespace tarn
