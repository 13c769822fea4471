// Windows only: a dialog's declarative table {control id, model field, kind}.  Load writes the
// fields into the controls, Store reads the controls back; the dialogs and their tests use the
// same table, so a control and its field cannot drift apart.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/windows_api.h"

namespace nv::ui {

enum class BindKind {
  kCheck,       // check box <-> bool
  kText,        // edit <-> UTF-8 string, at most `limit` characters typed (0: no limit)
  kIpAddress,   // IP address control <-> 32-bit address, 0 = empty
  kRadioIndex,  // radios id, id+1, ... id+limit-1 <-> index of the checked one (-1: none)
  kComboIndex,  // drop-down list <-> selected index (-1: none)
};

struct Binding {
  int id;
  BindKind kind;
  void* field;  // bool*, std::string*, uint32_t* or int* as the kind says
  size_t limit = 0;
};

inline Binding BindCheck(int id, bool& field) { return {id, BindKind::kCheck, &field, 0}; }
inline Binding BindText(int id, std::string& field, size_t limit = 0) {
  return {id, BindKind::kText, &field, limit};
}
inline Binding BindIp(int id, uint32_t& field) { return {id, BindKind::kIpAddress, &field, 0}; }
inline Binding BindRadios(int firstId, int count, int& field) {
  return {firstId, BindKind::kRadioIndex, &field, static_cast<size_t>(count)};
}
inline Binding BindCombo(int id, int& field) { return {id, BindKind::kComboIndex, &field, 0}; }

// Fields -> controls (text limits are set too).
void LoadControls(HWND dialog, const std::vector<Binding>& table);
// Controls -> fields.
void StoreControls(HWND dialog, const std::vector<Binding>& table);

}  // namespace nv::ui
