#include "corekit/folder_picker.h"

CDlgGetPath::CDlgGetPath(void* parent) noexcept : CDlgGetPath(parent, corekit::PlatformFolderSource()) {}

CDlgGetPath::CDlgGetPath(void* parent, corekit::FolderSource& source) noexcept
    : m_parent(parent), m_source(source) {}

CDlgGetPath::~CDlgGetPath() = default;

void CDlgGetPath::SetTitle(const std::string& title) { m_title = title; }
