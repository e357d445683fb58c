// The browser pane's web view on Qt WebEngine. Only programs that show pages
// link this library (the program, its tests); velmora-tool does not, so it
// never loads the web engine.
#pragma once

class QWebEngineView;
class TEmbeddedBrowser;

// Makes the embedded browsers of this process use Qt WebEngine, lean: one
// renderer process, drawn by the CPU (no OpenGL stack loaded), no PDF viewer
// or plugins, a small memory cache. Call before the application object exists.
void InstallWebEngineView();

// The browser's web view (made now if it was not yet), for tests that drive the page.
QWebEngineView* WebEngineViewOf(TEmbeddedBrowser& browser);
