// The process-wide side of the computer keyboard as a piano. Each
// `TmKanabun` is registered with the window it belongs to (most simply by
// holding a `TmKanabunRegistration`); the manager exists from the first
// registration to the last and watches the application's events: key
// presses and releases while a registered window is active, the lock key,
// and every way a window can lose the keyboard (deactivation, focus loss, a
// menu opening), on which the notes held there are released so that none is
// left sounding.
// The lock key's real state is read through XKB on X11; elsewhere, or when
// that fails, its presses are followed.
// UI thread only. The manager does not own the components or the windows.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "midi/kanabun.h"

class QKeyEvent;

namespace melko {

class TmKanabunManager : public QObject {
  Q_OBJECT
 public:
  // Null while no component is registered.
  static TmKanabunManager* Instance();
  static void Register(TmKanabun* component, QWidget* window);
  static void Unregister(TmKanabun* component);

  // Process-wide settings, kept while no manager exists: the lock key
  // (0 Caps Lock, 1 Num Lock, 2 Scroll Lock) and the two upper rows. Both
  // release the held notes first, since a changed table or lock would leave
  // them without a key-up of their own.
  static void SetToggleType(int type);
  static int ToggleType();
  static void SetUpperEnabled(bool on);
  static bool UpperEnabled();
  // Replaces how the lock key's state is read (tests); an empty function
  // restores the system's.
  static void SetLockReader(std::function<std::optional<bool>(int toggleType)> reader);

  bool InputOn() const { return keys_.InputOn(); }
  // The component of the active window; null when there is none or a popup
  // (a menu) has the keyboard.
  TmKanabun* ActiveComponent() const;
  const KanabunKeys& Keys() const { return keys_; }

  // The key as the rules see it: the PC scan code from the native one, the
  // kind from Qt's key, the modifiers.
  static KanaKeyEvent FromQt(const QKeyEvent& e);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TmKanabunManager();
  ~TmKanabunManager() override;
  void ReleaseWindow(const QWidget* window);
  void ReleaseEverywhere();

  std::vector<TmKanabun*> components_;
  std::vector<QPointer<QWidget>> windows_;
  KanabunKeys keys_;
  int filterDepth_ = 0;
  bool dying_ = false;  // the last component left while an event was handled
};

// Registers a component with its window for the registration's lifetime.
class TmKanabunRegistration {
 public:
  TmKanabunRegistration(TmKanabun& component, QWidget* window) : component_(component) {
    TmKanabunManager::Register(&component_, window);
  }
  ~TmKanabunRegistration() { TmKanabunManager::Unregister(&component_); }
  TmKanabunRegistration(const TmKanabunRegistration&) = delete;
  TmKanabunRegistration& operator=(const TmKanabunRegistration&) = delete;

 private:
  TmKanabun& component_;
};

// The system's lock state: XKB's named indicator on X11, nullopt elsewhere.
std::optional<bool> ReadSystemLockState(int toggleType);

}  // namespace melko
