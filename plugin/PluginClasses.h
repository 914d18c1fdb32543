#pragma once

// Makes the plug-in's own view classes known to the nib loader. Idempotent.
void registerPluginClasses();
