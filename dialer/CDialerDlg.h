#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QIcon>

#include "book/CAddressBookDlg.h"
#include "book/CCallLog.h"
#include "dialer/DialerControls.h"
#include "h323/CDialerCalls.h"
#include "h323/CDialerEndPoint.h"
#include "h323/CDialerEvents.h"
#include "platform/CCallTimer.h"
#include "platform/CTurnOrder.h"
#include "platform/Guarded.h"
#include "dialer/Sounds.h"
#include "dialer/VolumeSliders.h"
#include "platform/WorkerThreads.h"
#include "settings/CAccount.h"
#include "settings/CAccountDlg.h"
#include "settings/CDialerSettings.h"
#include "settings/CSettingsDlg.h"
#include "skin/CShapedDialog.h"

class CDialCombo;
class QMenu;
class QProgressBar;

// The dialer's main window: a frameless dialog holding the keypad, the dial box, the call buttons,
// the volume sliders, the level bars, the status and balance lines and the banner. It owns the
// endpoint, the settings record, the call log, the call timer and every worker it starts.
//
// The endpoint, the call timer and the workers report to it from their own threads; whatever
// they change on screen is handed to the user-interface thread, where the window's state lives.
// Only the few values those threads read (the call token, the start of the call and its seconds)
// are shared, and they are atomics or guarded.
class CDialerDlg : public CShapedDialog, public CDialerEvents, public CCallTimer::Owner {
  Q_OBJECT
 public:
  explicit CDialerDlg(QWidget* parent = nullptr);
  ~CDialerDlg() override;

  // The dialog template: 203 x 273 dialog units.
  static constexpr int kTemplateWidth = 203;
  static constexpr int kTemplateHeight = 273;

  // The control with this id, or nullptr.
  QWidget* GetDlgItem(int id) const;

  // Sets the window up (OnInitDialog) and runs it modally; the window's loop is the program's.
  int DoModal();

  // The start-up sequence: settings, sign-in (Cancel ends the program with code 0), window menu,
  // icon, caption, shape, endpoint, dial history, volume and registration threads, skin, banner.
  bool OnInitDialog();

  // Reads the settings record from its file (the first step of the start-up).
  void LoadSettings();

  // The account the window uses: the sign-in and settings dialogs set it, the balance refresh
  // takes the PIN and serial of the settings file into it.
  const CAccount& Account() const { return m_account; }
  void SetAccount(const CAccount& account) { m_account = account; }

  // The name of the play (record) device: index 0 stands for the stored index, which is read
  // from the settings file anew; the device-name rule picks the name.
  std::string GetPlayDeviceName(int index);
  std::string GetRecordDeviceName(int index);

  // Fills the dial box's list from the call log, newest first.
  void RefillDialHistory();

  // Shows data1/banner.gif in the banner and starts its download (data1/link1.gif), which
  // replaces it when it arrives.
  void ShowBanner();
  // The banner download, on a worker: the picture is decoded there and handed to the
  // user-interface thread whole.
  int BannerThread();
  // How long the banner download may take (30 seconds).
  void SetBannerDeadline(std::chrono::milliseconds deadline) { m_bannerDeadline = deadline; }

  // The endpoint, for its settings that are not the user's (listeners, timings).
  CDialerEndPoint& EndPoint() { return m_endpoint; }
  // The call operations go to the endpoint unless a test gives another implementation.
  void UseCalls(CDialerCalls* calls) { m_calls = calls ? calls : &m_endpoint; }
  // The clock calls are measured by (the system's tick count unless given).
  void SetTickSource(CCallTimer::TickSource source) { m_callTimer.SetTickSource(std::move(source)); }

  // Sets the endpoint up with the account, the codec index and the device names (Initialise).
  void InitialiseEndPoint(int codecIndex, const std::string& playDevice, const std::string& recordDevice);
  // Unregisters from the gatekeeper (before the endpoint is set up again).
  void RemoveRegistration();
  // Runs the gatekeeper registration on a worker (RegisterThread).
  void StartRegisterThread();

  // After the settings dialog's OK: the devices, the local user name and the capabilities take
  // effect on the endpoint at once.
  void ApplySettingsToEndPoint(const std::string& playDevice, const std::string& recordDevice, const std::string& pin,
                               int codecIndex);

  // Exchanges the dial string with the dial box's edit: save copies the edit text into
  // m_strDial, load puts m_strDial into the edit.
  void UpdateData(bool save);

  // Places a call to the dial string (Call button, Enter in the dial box, Call in the address
  // book): "Connecting.....", the dial tones, Hang-up instead of Call.
  void PlaceCall();
  // Ends the call in progress (Hang-up button, Escape in the dial box) and shows its total
  // duration; the endpoint's cleared event brings the window back to idle.
  void HangUp();

  // True from PlaceCall (or an answered call) until the call is cleared.
  bool IsBusy() const { return m_bBusy != 0; }
  // True while a call is established and the call timer runs.
  bool IsCallTimerRunning() const { return m_callTimer.IsRunning(); }

  // The window's shape from skin bitmap 131, its holes pure blue (the shaping step of the
  // initialisation).
  void ShapeWindow();
  // Gives every control its skin: sliders, level bars, mute icons, text lines, skinned
  // buttons, bitmap buttons, in that order; disables hang-up right after its skin.
  void SkinControls();

  // Starts the balance line refresh on a worker.
  void StartBalanceThread();

  // Starts the volume set-up on a worker: the speaker and microphone sliders take the volumes of
  // the mixers of the stored play and record devices (top position when unknown) and are
  // enabled. Part of the window's initialisation.
  void StartVolumeInit();

  // Where the sliders' volume changes go; they are applied off the user-interface thread.
  CVolumeWriter& VolumeWriter() { return m_volumeWriter; }

  // Sets the text of the registration and balance line (1018), or of the call status line
  // (1000), and repaints it. User-interface thread only.
  void SetBalanceLine(const std::string& text);
  void SetStatusLine(const std::string& text);

  // The window's menu (right button on the window, or Alt+Space): minimise, close and the
  // About item.
  QMenu* SystemMenu() const { return m_sysMenu; }
  // Adds a separator and the About item (string 101) to the window's menu.
  void AppendAboutToSystemMenu();

  // Number of close requests deferred so far (for tests and diagnostics).
  int DeferredCloseCount() const { return m_deferredCloses; }

  // What the endpoint and the balance refresh report, from any thread.
  void OnRegistering() override;
  void OnRegistered() override;
  void OnRegistrationFailed(const std::string& message) override;
  void OnCallAlerting(const std::string& token) override;
  void OnCallEstablished(const std::string& token, bool incoming, const std::string& remoteNumber) override;
  void OnCallCleared(const std::string& token, bool established) override;
  void OnBalanceRefresh(bool running) override;
  void OnBalance(const std::string& text, const std::string& pin, const std::string& serial) override;

  // Every 250 ms of an established call, on the call timer's thread: the duration and the
  // level bars.
  void OnCallTimer(unsigned timerId) override;

 signals:
  // A click on one of the twelve keypad buttons, by control id.
  void keyClicked(int id);

 public slots:
  // The private registration request (queued to the window by whoever wants a registration;
  // the dialer itself never sends it). The registration runs on a worker, as RegisterThread's
  // does, so that the window never waits for the gatekeeper.
  void OnRegisterRequest();
  // The close request: ends the window unless a call or a balance refresh is running, in which
  // case it comes back through the event queue until both have finished.
  void OnCloseRequest();
  // The close control: clears the call in progress, then asks to close.
  void OnCloseControl();
  // The program is asked to end (a termination signal): dialogs open over the window are
  // cancelled (at sign-in that ends the program), then the window closes as its close control
  // does.
  void OnEndRequest();
  // The minimise control.
  void OnMinimise();
  // The application became active or inactive: the dial box takes the focus.
  void OnActivateApp(bool active);
  // A command of the window's menu.
  void OnSysCommand(int command);
  // The Book button: runs the address book; a contact chosen with Call is dialled.
  void OnBook();
  // One of the web links (1033, 1024, 1064, 1065): opens its page in the browser.
  void OnWebPage(int id);
  // The Settings button.
  void OnSettings();
  // A keypad button, by control id: key tone, the character into the dial string, DTMF in a call.
  void OnKey(int id);
  // The Clear button: drops the dial string's last character.
  void OnClear();
  // The user changed the dial box's text.
  void OnDialEditChange();
  // The mute boxes: pause or resume the call's received (1031) or transmitted (1032) audio.
  void ToggleSpeakerMute();
  void ToggleMicMute();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  // Enter and Escape never end the window.
  void accept() override {}
  void reject() override {}

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Starts a worker thread that may use this window; it is joined before the window goes.
  bool StartWorker(std::function<void()> body) { return m_workers.Start(std::move(body)); }

  // Plays dtmf/key<name>.wav on the stored play device and returns when it has been heard.
  void PlayKeyTone(const std::string& name);
  // Focus to the dial box, the caret at the end of the text, nothing selected.
  void FocusDialBoxAtEnd();
  // Sends one character into the call in progress on a worker; nothing when there is none.
  void SendDtmf(char c);
  // The worker of one character: sends it as user input on the call of the current token, after
  // the characters of the keys pressed before it.
  void DtmfThread(char c, uint64_t turn);
  // A typed character that reached the window itself.
  void OnChar(QKeyEvent* event);
  // Plays one key tone per character of the dial string, on a worker.
  void StartDialTones();

  // The call's events as the user-interface thread handles them, in the endpoint's order.
  void CallAlerting(const std::string& token);
  void CallEstablished(const std::string& token, bool incoming, const std::string& remoteNumber);
  void CallCleared(const std::string& token, bool established);
  // One tick of the call timer as the user sees it; ticks of a timer stopped since are dropped.
  void ShowCallTick(unsigned timerId, int elapsed, const std::optional<CSignalLevels>& levels);
  // "Total Duration : m.s"
  void ShowTotalDuration(int seconds);
  // Sets the endpoint up again from the stored settings and registers anew (after the settings
  // dialog; after the call, when the dialog was confirmed during one).
  void ReinitialiseEndPoint();

  void CreateControls();
  void ConnectControls();
  void ConnectVolumeSliders();

  // --- members, in construction order ---
  std::atomic<int> m_bBalanceRunning{0};  // balance refreshes running
  std::string m_strBookNumber;
  CAddressBookDlg m_addressBookDlg;
  CDialCombo* m_dialBox = nullptr;
  std::atomic<int> m_nElapsed{0};  // seconds of the established call, set by each tick
  CCallTimer m_callTimer{10};
  int m_bBusy = 0;  // 1 from the start of a call until it is cleared
  CCallLog m_callLog;
  std::atomic<uint32_t> m_dwCallStart{0};  // tick count when the call was established; 0: none
  CDialerEndPoint m_endpoint;
  Guarded<std::string> m_strToken;  // the current call's token
  CAccount m_account;
  std::unique_ptr<CSettingsDlg> m_pSettingsDlg;  // made anew for each use of the Settings button
  std::unique_ptr<CAccountDlg> m_pAccountDlg;    // made at start-up and kept
  CDialerSettings m_settings;
  CPictureEx* m_banner = nullptr;  // 1065

  CBitmapButton* m_btnManual = nullptr;      // 1064
  CBitmapButton* m_btnLog = nullptr;         // 1033
  CSkinButton* m_btnNoAction = nullptr;      // 1026
  CBitmapButton* m_btnVoid = nullptr;        // 1046
  QProgressBar* m_rxLevel = nullptr;         // 1044
  QProgressBar* m_txLevel = nullptr;         // 1045
  CBitmapButton* m_btnBook = nullptr;        // 1042
  CTipSlider* m_micVolume = nullptr;         // 1030
  CTipSlider* m_speakerVolume = nullptr;     // 1029
  CTransparentStatic* m_text1019 = nullptr;  // 1019
  QPushButton* m_speakerMute = nullptr;      // 1031
  QPushButton* m_micMute = nullptr;          // 1032
  CStyledStatic* m_balanceLine = nullptr;    // 1018
  CStyledStatic* m_statusLine = nullptr;     // 1000

  std::string m_strDial;

  CSkinButton* m_btnSettings = nullptr;         // 1017
  CBitmapButton* m_btnClear = nullptr;          // 1016
  CSkinButton* m_btnHangUp = nullptr;           // 1015
  CSkinButton* m_btnCall = nullptr;             // 1014
  CSkinButton* m_keys[12] = {};                 // 1002 to 1013, by id - 1002
  CStaticPicture* m_closePicture = nullptr;     // 1022
  CStaticPicture* m_minimisePicture = nullptr;  // 1023
  CStaticPicture* m_productLink = nullptr;      // 1024

  QIcon m_hIcon;

  CDialerCalls* m_calls = &m_endpoint;
  std::chrono::milliseconds m_bannerDeadline{std::chrono::seconds(30)};
  bool m_bReinitialiseAfterCall = false;  // the settings changed during a call
  QMenu* m_sysMenu = nullptr;
  int m_deferredCloses = 0;
  bool m_closeRetryPending = false;

  CVolumeWriter m_volumeWriter;
  CDialTonePlayer m_dialTones;
  CTurnOrder m_dtmfTurns;
  std::atomic<bool> m_closing{false};  // set when the window goes: workers end early

  // Declared last: destroyed first, so no worker outlives the members it may use.
  CWorkerThreads m_workers;
};
