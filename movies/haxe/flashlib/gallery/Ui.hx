package gallery;

import flash.display.Shape;
import flash.display.Sprite;
import flash.events.MouseEvent;
import flash.text.TextField;
import flash.text.TextFieldAutoSize;
import flash.text.TextFormat;

/** Small drawing helpers shared by the player and the templates; all vector, no embedded assets. */
class Ui {
	public static function label(size:Int, colour:Int, bold = false, wrap = false, width = 0.0):TextField {
		var t = new TextField();
		t.defaultTextFormat = new TextFormat("_sans", size, colour, bold);
		t.selectable = false;
		t.mouseEnabled = false;
		if (wrap) {
			t.multiline = true;
			t.wordWrap = true;
			t.width = width;
		}
		t.autoSize = TextFieldAutoSize.LEFT;
		return t;
	}

	/** A round button with a symbol drawn by `glyph` into a 24 x 24 box centred on 0,0. */
	public static function button(glyph:Shape->Void, onClick:Void->Void):Sprite {
		var b = new Sprite();
		b.graphics.beginFill(0x000000, 0.45);
		b.graphics.drawCircle(0, 0, 19);
		b.graphics.endFill();
		b.graphics.lineStyle(1.5, 0xFFFFFF, 0.7);
		b.graphics.drawCircle(0, 0, 19);
		var g = new Shape();
		glyph(g);
		b.addChild(g);
		b.buttonMode = true;
		b.useHandCursor = true;
		b.mouseChildren = false;
		b.addEventListener(MouseEvent.CLICK, function(e:MouseEvent) {
			e.stopPropagation();
			onClick();
		});
		b.addEventListener(MouseEvent.MOUSE_DOWN, function(e:MouseEvent) e.stopPropagation());
		return b;
	}

	public static function triangle(g:Shape, pointsRight:Bool) {
		var d = pointsRight ? 1 : -1;
		g.graphics.beginFill(0xFFFFFF);
		g.graphics.moveTo(-6 * d, -8);
		g.graphics.lineTo(8 * d, 0);
		g.graphics.lineTo(-6 * d, 8);
		g.graphics.lineTo(-6 * d, -8);
		g.graphics.endFill();
	}

	public static function pauseBars(g:Shape) {
		g.graphics.beginFill(0xFFFFFF);
		g.graphics.drawRect(-7, -8, 5, 16);
		g.graphics.drawRect(2, -8, 5, 16);
		g.graphics.endFill();
	}

	public static function corners(g:Shape) {
		g.graphics.lineStyle(2.5, 0xFFFFFF);
		for (sx in [-1, 1])
			for (sy in [-1, 1]) {
				g.graphics.moveTo(8 * sx, 3 * sy);
				g.graphics.lineTo(8 * sx, 8 * sy);
				g.graphics.lineTo(3 * sx, 8 * sy);
			}
	}
}
