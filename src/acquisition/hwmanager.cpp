#include "hwmanager.h"

CHwManager::CHwManager() = default;
CHwManager::~CHwManager() = default;

bool CHwManager::HasModule() const { return false; }

bool CHwManager::ChooseModule() { return true; }

bool CHwManager::DefineChannels(bool) { return false; }

void CHwManager::Poll() {}
