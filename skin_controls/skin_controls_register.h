// Registers the skinned control classes and their named values for window descriptions.
#pragma once

void RegisterSkinControlClasses();
