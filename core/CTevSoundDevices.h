#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/SoundDeviceList.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace tev {

class CTevColorSquare;
class SettingsStore;

// The options dialog "Tev Audio Options": the main and the monitor sound device, with Split and
// Join for four-channel cards, the output latency, where and how the mix is recorded, and the
// display colour of each deck. OK stores the choice.
// The first time it runs it confirms the stored choice against the devices present without
// being shown.
class CTevSoundDevices : public QDialog {
  public:
    using DeviceSource = std::function<std::vector<SoundDeviceInfo>()>;
    // Asks for a folder, starting at the given one; empty when the user cancels.
    using FolderChooser = std::function<QString(const QString&)>;
    struct RecordingFormat {
        std::string key;  // as stored: "flac", "wav", "mp3", "ogg"
        QString label;
    };

    // `devices` lists the devices present (the sound system's by default).
    explicit CTevSoundDevices(SettingsStore& settings, DeviceSource devices = {},
                              QWidget* parent = nullptr);

    // Builds the lists, restores the choice and the colours. On the first run it confirms at
    // once and returns false (nothing to show).
    bool OnInitDialog();
    // Stores the colours and the devices chosen, and closes with OK.
    void OnOK();
    // Runs the dialog: silently the first time, shown afterwards. True when confirmed.
    bool Run();

    // The devices of the last confirmed choice (none: that output is off) and their entries.
    const std::optional<std::string>& mainDevice() const { return chosen_[SoundDeviceList::kMain]; }
    const std::optional<std::string>& monitorDevice() const {
        return chosen_[SoundDeviceList::kMonitor];
    }
    const std::string& mainText() const { return chosenText_[SoundDeviceList::kMain]; }
    const std::string& monitorText() const { return chosenText_[SoundDeviceList::kMonitor]; }
    // The output latency of the last confirmed choice, in milliseconds.
    int latencyMs() const { return latencyMs_; }

    // The recording formats to offer, in order (all four by default); the first is the default.
    void SetRecordingFormats(const std::vector<RecordingFormat>& formats);
    // Shown in the empty folder field: where recordings go unless the user chooses.
    void SetDefaultRecordingFolder(const QString& folder);
    void SetFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }
    // The last confirmed recording folder (empty: the default) and format key.
    const std::string& recordingFolder() const { return recordingFolder_; }
    const std::string& recordingFormat() const { return recordingFormat_; }

    // For tests and the keyboard: the controls by role.
    QComboBox* list(SoundDeviceList::Which which) const { return lists_[which]; }
    QPushButton* splitButton(SoundDeviceList::Which which) const { return split_[which]; }
    QPushButton* joinButton(SoundDeviceList::Which which) const { return join_[which]; }
    QComboBox* latencyList() const { return latency_; }
    QLineEdit* recordingFolderField() const { return folderField_; }
    QPushButton* recordingFolderButton() const { return folderButton_; }
    QComboBox* recordingFormatList() const { return formatList_; }
    QSlider* colorSlider(int deck, int component) const { return sliders_[deck][component]; }
    CTevColorSquare* colorSquare(int deck) const { return squares_[deck]; }

  protected:
    void accept() override { OnOK(); }

  private:
    void Refill();
    void ShowColor(int deck);
    uint32_t ColorOf(int deck) const;

    SettingsStore& settings_;
    DeviceSource devices_;
    SoundDeviceList model_;
    bool firstRun_ = true;
    bool refilling_ = false;
    std::array<std::optional<std::string>, 2> chosen_;
    std::array<std::string, 2> chosenText_;
    int latencyMs_ = 0;
    QComboBox* latency_ = nullptr;
    FolderChooser chooseFolder_;
    std::string recordingFolder_;
    std::string recordingFormat_;
    QLineEdit* folderField_ = nullptr;
    QPushButton* folderButton_ = nullptr;
    QComboBox* formatList_ = nullptr;
    std::array<QComboBox*, 2> lists_{};
    std::array<QPushButton*, 2> split_{};
    std::array<QPushButton*, 2> join_{};
    std::array<std::array<QSlider*, 3>, 2> sliders_{};
    std::array<std::array<QLabel*, 3>, 2> values_{};
    std::array<CTevColorSquare*, 2> squares_{};
};

}  // namespace tev
