// The gallery page's only script, served at /static/gallery.js (the server's
// Content-Security-Policy runs no script written into a page). A page holds up to
// fifty players; two previews at once are noise, so starting one pauses the others.
'use strict';

document.addEventListener('play', (event) => {
  for (const player of document.querySelectorAll('audio')) {
    if (player !== event.target) player.pause();
  }
}, true);
