#pragma once

// Registers the mixer model's component classes, event types and named
// identifier tables for window descriptions. Safe to call more than once.
void RegisterMixerClasses();
