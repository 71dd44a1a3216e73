// `Audio` prelude: run once at start-up with the root table as `this`, after
// the native classes `Audio.Channel`, `Audio.Group` and `Audio.Sound` have
// been put into `Audio`. The table is complete as it is; nothing is added.
