package gallery;

import flash.display.BitmapData;
import flash.display.DisplayObject;
import flash.display.Sprite;
import flash.display.StageDisplayState;
import flash.events.Event;
import flash.events.KeyboardEvent;
import flash.events.MouseEvent;
import flash.geom.Rectangle;
import flash.net.URLRequest;
import flash.text.TextField;
import flash.ui.Keyboard;
import flash.utils.ByteArray;

/**
	What every template movie shares: it finds the player movie that loaded it (the "host", reached
	by name only, since the two movies live in separate application domains), takes the photos and
	options from it, and offers the caption panel, the play/pause, previous, next and full-screen
	controls, keyboard and wheel navigation, automatic play and the frame-rate report. A template
	subclass draws the photos and says where the current one is.
**/
class TemplateBase extends Sprite {
	var typeName:String;
	var host:Dynamic;
	var stageW = 960;
	var stageH = 540;
	var count = 0;
	var infos:Array<Dynamic> = [];
	var opt:Dynamic;
	var cache:PhotoCache;

	var current = 0;
	var playing = false;
	var sincePlayStep = 0.0;
	/** "drag", "auto", "influence" or "none": the project's choice where the template offers it. **/
	var scrollMode = "none";
	var spotlight = false;

	var photoLayer = new Sprite();
	var chrome = new Sprite();
	var title:TextField;
	var description:TextField;
	var counter:TextField;
	var playButton:Sprite;
	var pauseButton:Sprite;

	var startTime = 0;
	var lastTime = 0;
	var fpsFrames = 0;
	var fpsSince = 0;
	var firstShown = false;
	var lastShown = -1;
	var hostWait = 0;

	function new(typeName:String) {
		super();
		this.typeName = typeName;
	}

	/** Called from a template's main(). */
	public static function boot(t:TemplateBase) {
		Log.install();
		flash.Lib.current.addChild(t);
		t.addEventListener(Event.ENTER_FRAME, t.waitForHost);
	}

	// --- what a template supplies ---------------------------------------------------------------

	/** Largest size a photo is shown at, and how many decoded photos the template keeps. */
	function photoBox():{width:Int, height:Int, keep:Int} {
		return {width: stageW, height: stageH, keep: 8};
	}

	function build() {}

	/** Per frame; dt in seconds. */
	function update(dt:Float) {}

	/** The current photo changed (by a control, a key, automatic play or the template itself). */
	function currentChanged(previous:Int) {}

	/** Index of the photo under a point in this sprite's coordinates, or -1. */
	function photoAt(x:Float, y:Float):Int {
		return -1;
	}

	/** A click on a photo; by default the current photo opens its link and others become current. */
	function photoClicked(index:Int) {
		if (index == current)
			openLink(index);
		else
			goTo(index);
	}

	/** Escape: templates with a zoomed state leave it. */
	function back() {}

	// --- start-up -----------------------------------------------------------------------------

	function waitForHost(_) {
		var h = findHost();
		if (h == null && ++hostWait < 90)
			return;
		removeEventListener(Event.ENTER_FRAME, waitForHost);
		if (h == null) {
			Log.line('template $typeName: no gallery player found, nothing to show');
			return;
		}
		Capability.probe(function() start(h));
	}

	function findHost():Dynamic {
		var p:DisplayObject = flash.Lib.current;
		while (p != null) {
			try {
				var marker:Dynamic = untyped p.galleryHost;
				if (marker == 1)
					return p;
			} catch (e:Dynamic) {}
			try
				p = p.parent
			catch (e:Dynamic)
				p = null;
		}
		return null;
	}

	function start(h:Dynamic) {
		host = h;
		stageW = h.stageW;
		stageH = h.stageH;
		opt = h.options;
		count = h.photoCount();
		for (i in 0...count)
			infos.push(h.photoInfo(i));
		Log.line('template $typeName: $count photos');
		for (i in 0...count)
			Log.line('photo $i: ${infos[i].caption}');

		scrollMode = chooseScrollMode();
		spotlight = opt.useLight == true && opt.usespotlight == true;
		Log.line('template $typeName: scroll $scrollMode, spotlight $spotlight, frame ${opt.useFrame}, fill ${opt.useFill}');

		var box = photoBox();
		cache = new PhotoCache(function(i) return (host.photoBytes(i) : Null<ByteArray>), box.width, box.height, box.keep);
		cache.onFailure = function(i) host.note('Photo ${i + 1} cannot be decoded; it is left out.');

		addChild(photoLayer);
		build();
		buildChrome();
		if (count == 0) {
			var empty = Ui.label(22, 0xFFFFFF, true);
			empty.text = "This gallery has no photos";
			empty.x = (stageW - empty.width) / 2;
			empty.y = (stageH - empty.height) / 2 - 20;
			addChild(empty);
		}

		stage.addEventListener(KeyboardEvent.KEY_DOWN, onKey);
		stage.addEventListener(MouseEvent.MOUSE_WHEEL, onWheel);
		photoLayer.addEventListener(MouseEvent.CLICK, onPhotoClick);
		stage.focus = stage;

		playing = opt.autoPlay == true && count > 1;
		showPlayState();
		if (opt.fullPlay == true) {
			// A player goes full screen only in answer to the viewer (a page may not take the
			// screen by itself): the first click or key does it.
			Log.line("full screen on the first click");
			var enter:Dynamic->Void = null;
			enter = function(_) {
				stage.removeEventListener(MouseEvent.CLICK, enter);
				stage.removeEventListener(KeyboardEvent.KEY_UP, enter);
				if (stage.displayState == StageDisplayState.NORMAL)
					setFullScreen(true);
			};
			stage.addEventListener(MouseEvent.CLICK, enter);
			stage.addEventListener(KeyboardEvent.KEY_UP, enter);
		}
		showCaption();

		startTime = lastTime = fpsSince = flash.Lib.getTimer();
		addEventListener(Event.ENTER_FRAME, frame);
	}

	function chooseScrollMode():String {
		var offered = ["drag" => opt.mousedrag == true, "auto" => opt.autoscroll == true, "influence" => opt.autocursor == true];
		var wanted:String = opt.dragType;
		if (offered.get(wanted))
			return wanted;
		for (m in ["drag", "auto", "influence"])
			if (offered.get(m))
				return m;
		return "none";
	}

	// --- the frame loop -----------------------------------------------------------------------

	function frame(_) {
		var now = flash.Lib.getTimer();
		var dt = Math.min(0.25, (now - lastTime) / 1000);
		lastTime = now;
		if (playing) {
			sincePlayStep += dt;
			if (sincePlayStep >= opt.autoDelay)
				playStep();
		}
		update(dt);
		fpsFrames++;
		if (now - fpsSince >= 2000) {
			Log.line('fps ${Math.round(fpsFrames * 10000 / (now - fpsSince)) / 10}');
			fpsFrames = 0;
			fpsSince = now;
		}
	}

	function playStep() {
		sincePlayStep = 0;
		if (current + 1 < count)
			goTo(current + 1);
		else if (opt.autoLoop == true)
			goTo(0);
		else
			setPlaying(false);
	}

	// --- navigation ---------------------------------------------------------------------------

	public function goTo(index:Int) {
		if (count == 0)
			return;
		index = ((index % count) + count) % count;
		if (index == current)
			return;
		var previous = current;
		current = index;
		sincePlayStep = 0;
		showCaption();
		currentChanged(previous);
	}

	function setPlaying(on:Bool) {
		playing = on && count > 1;
		sincePlayStep = 0;
		showPlayState();
		Log.line(playing ? "play" : "pause");
	}

	function setFullScreen(on:Bool) {
		try
			stage.displayState = on ? StageDisplayState.FULL_SCREEN : StageDisplayState.NORMAL
		catch (e:Dynamic)
			Log.line("full screen refused: " + Std.string(e));
	}

	function openLink(index:Int) {
		if (index < 0 || index >= count)
			return;
		var url = Links.address(infos[index].url);
		if (url == null) {
			host.note('The link of photo ${index + 1} is not a web or mail address; it is not opened.');
			return;
		}
		if (url == "")
			return;
		var target:String = infos[index].target;
		Log.line('link $index $url $target');
		try
			flash.Lib.getURL(new URLRequest(url), target)
		catch (e:Dynamic)
			host.note("The link cannot be opened: " + url);
	}

	/**
		Templates call this when photo `index` is in place as the current photo; `area` is where it
		is, in this sprite's coordinates. The report is what the checks click on.
	**/
	function reportShown(index:Int, area:Rectangle) {
		pictureOnScreen();
		if (index == lastShown)
			return;
		lastShown = index;
		var p = localToGlobal(new flash.geom.Point(area.x, area.y));
		var q = localToGlobal(new flash.geom.Point(area.right, area.bottom));
		Log.line('shown $index ${Math.round(p.x)} ${Math.round(p.y)} ${Math.round(q.x - p.x)} ${Math.round(q.y - p.y)}');
	}

	/**
		Templates call this whenever a decoded photo is on screen; the first call is reported with
		the time since the template started and since the player did.
	**/
	function pictureOnScreen() {
		if (firstShown)
			return;
		firstShown = true;
		var now = flash.Lib.getTimer();
		Log.line('first photo shown after ${now - startTime} ms (player time $now ms)');
	}

	function bitmapOf(index:Int):Null<BitmapData> {
		return cache.peek(index);
	}

	function want(index:Int) {
		cache.request(index, function(_) {});
	}

	// --- input --------------------------------------------------------------------------------

	function onKey(e:KeyboardEvent) {
		switch (e.keyCode) {
			case Keyboard.LEFT | Keyboard.UP | Keyboard.PAGE_UP:
				goTo(current - 1);
			case Keyboard.RIGHT | Keyboard.DOWN | Keyboard.PAGE_DOWN:
				goTo(current + 1);
			case Keyboard.HOME:
				goTo(0);
			case Keyboard.END:
				goTo(count - 1);
			case Keyboard.SPACE:
				setPlaying(!playing);
			case Keyboard.ENTER:
				openLink(current);
			case Keyboard.ESCAPE:
				back();
			case 70: // F
				setFullScreen(stage.displayState == StageDisplayState.NORMAL);
			default:
		}
	}

	function onWheel(e:MouseEvent) {
		goTo(current + (e.delta > 0 ? -1 : 1));
	}

	function onPhotoClick(e:MouseEvent) {
		if (dragMoved)
			return;
		var p = globalToLocal(new flash.geom.Point(e.stageX, e.stageY));
		var i = photoAt(p.x, p.y);
		if (i >= 0)
			photoClicked(i);
	}

	/** Set by templates that drag, so that the click ending a drag does not open a link. */
	var dragMoved = false;

	// --- caption panel and controls -----------------------------------------------------------

	function buildChrome() {
		addChild(chrome);
		var band = new Sprite();
		band.graphics.beginFill(0x000000, 0.5);
		band.graphics.drawRect(0, 0, stageW, 84);
		band.graphics.endFill();
		band.y = stageH - 84;
		band.mouseEnabled = false;
		chrome.addChild(band);

		title = Ui.label(20, 0xFFFFFF, true);
		title.x = 20;
		title.y = stageH - 78;
		chrome.addChild(title);
		description = Ui.label(14, 0xDDDDDD, false, true, stageW - 300);
		description.x = 20;
		description.y = stageH - 50;
		chrome.addChild(description);
		counter = Ui.label(13, 0xBBBBBB);
		chrome.addChild(counter);

		var x = stageW - 32.0;
		var y = stageH - 42.0;
		var full = Ui.button(Ui.corners, function() setFullScreen(stage.displayState == StageDisplayState.NORMAL));
		full.x = x;
		full.y = y;
		var next = Ui.button(function(g) Ui.triangle(g, true), function() goTo(current + 1));
		next.x = x - 48;
		next.y = y;
		playButton = Ui.button(function(g) Ui.triangle(g, true), function() setPlaying(true));
		pauseButton = Ui.button(Ui.pauseBars, function() setPlaying(false));
		for (b in [playButton, pauseButton]) {
			b.x = x - 96;
			b.y = y;
		}
		var prev = Ui.button(function(g) Ui.triangle(g, false), function() goTo(current - 1));
		prev.x = x - 144;
		prev.y = y;
		for (b in [full, next, playButton, pauseButton, prev])
			chrome.addChild(b);
		counter.x = x - 170 - 40;
		counter.y = y - 8;
	}

	function showPlayState() {
		if (playButton == null)
			return;
		playButton.visible = !playing;
		pauseButton.visible = playing;
	}

	function showCaption() {
		if (title == null)
			return;
		if (count == 0) {
			title.text = "";
			description.text = "";
			counter.text = "";
			return;
		}
		title.text = infos[current].caption;
		description.text = infos[current].description;
		counter.text = '${current + 1} / $count';
		counter.x = stageW - 32 - 170 - counter.width;
	}
}
