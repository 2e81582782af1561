// The window's volume sliders: filled from the mixer at start-up, and every move the user makes
// sets the mixer (the mixer itself is platform/Mixer).
#include "dialer/CDialerDlg.h"
#include "platform/Mixer.h"

void CDialerDlg::ConnectVolumeSliders() {
  // The mixer number is the stored device index as the record holds it at the time of the move.
  ConnectVolumeSlider(m_speakerVolume, m_volumeWriter, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS,
                      MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT,
                      [this] { return unsigned(m_settings.GetPlayDeviceIndex()); });
  ConnectVolumeSlider(m_micVolume, m_volumeWriter, MIXERLINE_COMPONENTTYPE_DST_WAVEIN,
                      MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE,
                      [this] { return unsigned(m_settings.GetRecordDeviceIndex()); });
}

void CDialerDlg::StartVolumeInit() {
  const unsigned playMixer = unsigned(m_settings.GetPlayDeviceIndex());
  const unsigned recordMixer = unsigned(m_settings.GetRecordDeviceIndex());
  StartWorker(
      [this, playMixer, recordMixer] { VolumeInitThread(m_speakerVolume, m_micVolume, playMixer, recordMixer); });
}
